#include "ui/window_memory.h"
#include "ui/data_grid.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

namespace {

QString keyOf(const QWidget* window) { return QStringLiteral("windows/") + window->objectName(); }

bool isFixedSize(const QWidget* w) { return w->minimumSize() == w->maximumSize(); }

} // namespace

namespace {
const WindowMemory* g_atWork = nullptr;
}

WindowMemory::WindowMemory(QObject* parent) : QObject(parent)
{
    if (!g_atWork) g_atWork = this;
}

WindowMemory::~WindowMemory()
{
    if (g_atWork == this) g_atWork = nullptr;
}

std::unique_ptr<QSettings> WindowMemory::settings()
{
    // A file of the program's own beside the settings the user writes by hand (tabel.conf),
    // which the program therefore never rewrites. Places an earlier build kept in tabel.conf are
    // left there, unread: the windows open once where they open first.
    auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tabel"),
                                         QStringLiteral("windows"));
    s->setFallbacksEnabled(false);   // nothing of the machine's, nor of tabel.conf
    return s;
}

QRect WindowMemory::fitted(const QRect& geometry, const QRect& available)
{
    if (!available.isValid()) return geometry;
    QRect r = geometry;
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

void WindowMemory::keep(const QString& key, const QVariant& value)
{
    if (g_atWork) settings()->setValue(key, value);
}

QVariant WindowMemory::kept(const QString& key, const QVariant& fallback)
{
    return g_atWork ? settings()->value(key, fallback) : fallback;
}

bool WindowMemory::looksAfter(const QWidget* window)
{
    static const QRegularExpression form(QStringLiteral("^Form\\d+$"));
    return window->isWindow() && window->objectName() != QLatin1String("Form23") && form.match(window->objectName()).hasMatch();
}

bool WindowMemory::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        if (auto* w = qobject_cast<QWidget*>(watched); w && looksAfter(w) && !event->spontaneous()) {
            if (event->type() == QEvent::Show) restore(w);
            else save(w);
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowMemory::restore(QWidget* window)
{
    const auto s = settings();
    const QString key = keyOf(window);
    const bool centred = window->objectName() == QLatin1String("Form1");
    const QByteArray geometry = s->value(key + QStringLiteral("/geometry")).toByteArray();
    if (!geometry.isEmpty() && !centred) {
        const QSize size = window->size();
        window->restoreGeometry(geometry);
        if (isFixedSize(window)) window->resize(size);
    }
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        // A window larger than the screen is made smaller, within what its layout allows.
        const QSize frameExtra = window->frameGeometry().size() - window->size();
        const QSize room = available.size() - frameExtra;
        if (!isFixedSize(window) && (window->width() > room.width() || window->height() > room.height()))
            window->resize(std::min(window->width(), room.width()), std::min(window->height(), room.height()));
        const QRect frame = window->frameGeometry();
        const QRect inside = fitted(frame, available);
        if (inside.topLeft() != frame.topLeft()) window->move(window->pos() + (inside.topLeft() - frame.topLeft()));
    }
    for (DataGrid* grid : window->findChildren<DataGrid*>()) {
        if (grid->objectName().isEmpty() || grid->window() != window) continue;   // not another window's
        const QStringList widths = s->value(key + QStringLiteral("/columns/") + grid->objectName()).toStringList();
        // Widths kept for other columns (another build's grid) are left alone.
        if (widths.size() != grid->horizontalHeader()->count()) continue;
        for (int c = 0; c < widths.size(); ++c) {
            const int w = widths.at(c).toInt();
            if (w > 0 && !grid->isColumnHidden(c)) grid->setColumnWidth(c, w);
        }
    }
}

void WindowMemory::save(QWidget* window)
{
    const auto s = settings();
    const QString key = keyOf(window);
    s->setValue(key + QStringLiteral("/geometry"), window->saveGeometry());
    for (DataGrid* grid : window->findChildren<DataGrid*>()) {
        if (grid->objectName().isEmpty() || grid->window() != window) continue;
        QStringList widths;
        for (int c = 0; c < grid->horizontalHeader()->count(); ++c)
            widths << QString::number(grid->isColumnHidden(c) ? 0 : grid->columnWidth(c));
        s->setValue(key + QStringLiteral("/columns/") + grid->objectName(), widths);
    }
}
