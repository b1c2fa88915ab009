#pragma once
// What GUI tests do as a user would: type, find a control, press Enter on it, find a field by
// its label, double-click a row.
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QWidget>

/// Types text one character a key press (QTest's own keyClicks is Latin-1 only).
inline void type(QWidget* w, const QString& text)
{
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

/// A control by its object name; a missing one ends the run.
template <typename T>
T* child(QWidget* w, const char* name)
{
    T* found = w->findChild<T*>(QLatin1String(name));
    if (!found) qFatal("no child %s", name);
    return found;
}

/// Enter on the named control, as a user who has moved the focus to it presses it.
inline void enterOn(QWidget* window, const QString& name)
{
    QWidget* w = child<QWidget>(window, qPrintable(name));
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Return);
}

/// The entry field a user knows by its label's caption.
inline QWidget* fieldLabelled(QWidget* window, const QString& caption)
{
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == caption) return label->buddy();
    return nullptr;
}

/// A double click on a grid row, as the window system delivers it: press, release, double
/// click, release.
inline void doubleClickRow(QTableView* grid, int row)
{
    const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}
