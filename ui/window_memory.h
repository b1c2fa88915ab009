#pragma once
#include <QObject>
#include <QRect>
#include <QSettings>

class QWidget;

/// Keeps the windows' places, sizes and grid column widths for the user between runs, and opens
/// every window within the screen. Installed once on the application, it looks after each
/// window named "FormN" (the login aside, which always opens in the middle): when it is shown
/// its last place, size and column widths come back, fitted to the screen as it is now; when
/// it is hidden they are kept. A window of fixed size keeps its size; one that opens centred
/// (the journal) keeps its place too.
class WindowMemory : public QObject {
    Q_OBJECT
public:
    explicit WindowMemory(QObject* parent = nullptr);
    ~WindowMemory() override;

    /// Where the windows' places and the kept values go: the user's windows.conf beside the
    /// settings file (~/.config/tabel/windows.conf), which the program writes alone.
    static std::unique_ptr<QSettings> settings();
    /// The geometry moved into the available area and, where it is larger, cut down to it.
    static QRect fitted(const QRect& geometry, const QRect& available);
    /// Keeps a value for the next run (the last period of a window, say), and reads it back; both
    /// only while a WindowMemory is at work (in the program, not in its tests).
    static void keep(const QString& key, const QVariant& value);
    static QVariant kept(const QString& key, const QVariant& fallback = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool looksAfter(const QWidget* window);
    void restore(QWidget* window);
    void save(QWidget* window);
};
