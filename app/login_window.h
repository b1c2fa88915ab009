#pragma once
#include "data/access.h"
#include "data/version_check.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <functional>

class TDataModule6;
class TForm1;
class Prompts;
class QLineEdit;
class QPushButton;
class QTimer;

/// The login: the access code chooses the role, the role disables what it may not use, and the
/// journal opens. Also keeps this build and the database in step: a client older than the newest
/// build that has run against the database stops.
class TForm23 : public QDialog {
    Q_OBJECT
public:
    TForm23(TDataModule6& dm, TForm1& form1, const BuildStamp& stamp, QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;  // "Вход"
    QPushButton* Button2 = nullptr;  // "Отмена"
    QTimer* Timer1 = nullptr;        // ends the program after a failed version check

    /// Another window whose controls a role may disable, by its name ("Form18").
    void addRestrictedWindow(const QString& name, QWidget* window) { m_windows.insert(name, window); }
    /// How the program ends; the application exits its event loops.
    std::function<void()> endProgram;
    /// Work the login does for a role beyond disabling controls (the hub's product kind).
    std::function<void(access_rights::Role)> onRoleChosen;

    /// A personal login: the box takes the user's password, which opens the connection when it is
    /// not open yet (the server asked for one); the role is the user's membership. connect opens
    /// the connection with the password given (empty: libpq's own means) and says why not.
    void setPersonalLogin(const QString& user, std::function<QString(const QString& password)> connect);

    access_rights::Role role() const { return m_role; }
    bool ending() const { return m_ending; }

    void FormActivate();
    void CheckVersion();
    void Button1Click();
    /// Esc: ends the program, as "Отмена" does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void end();
    /// Applies the role chosen by a code or by membership and opens the journal.
    void enter(access_rights::Role role, const QString& code);
    /// Every activation checks the version and shows the build in the caption.
    void activated();

    TDataModule6& m_dm;
    TForm1& m_form1;
    Prompts& m_prompts;
    BuildStamp m_stamp;
    QHash<QString, QPointer<QWidget>> m_windows;
    access_rights::Role m_role = access_rights::Role::None;
    bool m_ending = false;
    QString m_user;   ///< a personal login, else empty
    std::function<QString(const QString&)> m_connect;
    class QLabel* m_label = nullptr;
};
