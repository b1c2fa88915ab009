#include "tests/support/modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

void whenModal(std::function<void(QWidget*)> action, int deadlineMs)
{
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before.data() && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
            return;
        }
        if (clock->elapsed() > deadlineMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            QTest::qFail("no modal window appeared in time", __FILE__, __LINE__);
            if (QWidget* m = QApplication::activeModalWidget()) m->close();
        }
    });
    timer->start(20);
}

bool noWindowsLeftOpen(const QList<QWidget*>& allowed)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !allowed.contains(w)) return false;
    return true;
}
