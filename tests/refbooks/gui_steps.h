#pragma once
// What the reference-book tests do as a user would: type, find a control, double-click a row,
// and read what a list shows.
#include "data/dataset.h"
#include "refbooks/pick_targets.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QTest>
#include <QWidget>

/// A calling dialog as far as a pick goes (shift entry, utility work entry, operation price):
/// one kept id and one name field, whatever is picked.
class Caller : public WorkerPickTarget, public OperationKindPickTarget, public ProductPickTarget, public GroupPickTarget {
public:
    int keptId = 0;
    QLineEdit name;
    int& pickedWorkerId() override { return keptId; }
    QLineEdit* pickedWorkerName() override { return &name; }
    int& pickedKindId() override { return keptId; }
    QLineEdit* pickedKindName() override { return &name; }
    int& pickedProductId() override { return keptId; }
    QLineEdit* pickedProductName() override { return &name; }
    int& pickedGroupId() override { return keptId; }
    QLineEdit* pickedGroupName() override { return &name; }
};

/// Types text one character a key press (QTest's own keyClicks is Latin-1 only).
inline void type(QWidget* w, const QString& text)
{
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

/// The values of a field over a dataset's visible rows, in order.
inline QStringList visibleRows(const Dataset& ds, const QString& field)
{
    QStringList out;
    for (int r = 0; r < ds.recordCount(); ++r) out << Dataset::toText(ds.valueAt(r, field));
    return out;
}

/// A control by its object name; a missing one ends the run.
template <typename T>
T* child(QWidget* w, const char* name)
{
    T* found = w->findChild<T*>(QLatin1String(name));
    if (!found) qFatal("no child %s", name);
    return found;
}

/// A double click on a grid row, as the window system delivers it: press, release, double
/// click, release.
inline void doubleClickRow(DataGrid* grid, int row)
{
    const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}
