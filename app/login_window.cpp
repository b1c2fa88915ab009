#include "app/login_window.h"
#include "data/codes.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/schema_upgrade.h"
#include "data/session_role.h"
#include "journal/journal_window.h"
#include "ui/guard.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TForm23::TForm23(TDataModule6& dm, TForm1& form1, const BuildStamp& stamp, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_form1(form1), m_prompts(dm.prompts()), m_stamp(stamp)
{
    setObjectName(QStringLiteral("Form23"));
    setWindowTitle(QStringLiteral("Авторизация"));
    auto* layout = new QVBoxLayout(this);
    auto* label = m_label = new QLabel(QStringLiteral("Код доступа:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    label->setBuddy(Edit1);
    layout->addWidget(Edit1);
    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("Вход"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    setFixedSize(360, 130);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm23::end);

    endProgram = [] { QCoreApplication::exit(0); };
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QWidget::close);
    m_form1.onTimer = [this] { CheckVersion(); };
}

void TForm23::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    // Shown is activated, also where the platform reports no activation of its own.
    activated();
}

bool TForm23::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && isVisible()) activated();
    return QDialog::event(event);
}

void TForm23::activated()
{
    if (m_ending) return;
    runGuarded(m_prompts, [this] { FormActivate(); });
}

void TForm23::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    end();
}

void TForm23::reject()
{
    // Esc ends the program as "Отмена" does: hiding the login alone would leave it running.
    QDialog::reject();
    end();
}

void TForm23::end()
{
    if (m_ending) return;
    m_ending = true;
    Timer1->stop();
    if (endProgram) endProgram();
}

void TForm23::setPersonalLogin(const QString& user, std::function<QString(const QString&)> connect)
{
    m_user = user;
    m_connect = std::move(connect);
    m_label->setText(QStringLiteral("Пароль пользователя %1:").arg(user));
}

void TForm23::FormActivate()
{
    // A personal login waiting for its password has no connection to check yet.
    if (m_user.isEmpty() || m_dm.ADO_DB.isOpen()) CheckVersion();
    setWindowTitle(QStringLiteral("Авторизация (build: %1)").arg(m_stamp.text()));
}

void TForm23::CheckVersion()
{
    m_form1.BuildDate = m_stamp.date;
    m_form1.BuildTime = m_stamp.time;
    BuildStamp newest;
    if (checkVersion(m_dm, m_stamp, &newest) != VersionVerdict::Outdated || m_ending) return;
    Timer1->start();
    m_prompts.error(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.\n") +
                        outdatedBuildsText(m_stamp, newest),
                    QStringLiteral("Ошибка"));
    end();
}

void TForm23::Button1Click()
{
    using namespace access_rights;
    if (!m_user.isEmpty()) {
        // The password opens the connection where the server asked for one; the role is the
        // user's membership in the department's groups.
        if (!m_dm.ADO_DB.isOpen()) {
            const QString why = m_connect(Edit1->text());
            Edit1->clear();
            if (!why.isEmpty()) {
                m_prompts.error(QStringLiteral("Не удалось войти как %1: %2").arg(m_user, why), QStringLiteral("Ошибка"));
                return;
            }
            CheckVersion();
            if (m_ending) return;
        }
        const Role role = session_role::of(m_dm.ADO_DB);
        if (role == Role::None) {
            m_prompts.error(QStringLiteral("Пользователь %1 не входит ни в одну из групп БД tabel_full, tabel_planner, "
                                           "tabel_foremen, tabel_warehouse. Обратитесь к администратору.").arg(m_user),
                            QStringLiteral("Ошибка"));
            end();
            return;
        }
        enter(role, codeOf(role));
        return;
    }
    const QString code = Edit1->text().trimmed();
    m_form1.CurrentShift = 1;
    m_form1.AccessCode = code;
    const Role role = roleForCode(code);
    m_form1.N11->setEnabled(role == Role::Full);
    if (role == Role::None) {
        m_prompts.error(QStringLiteral("Введены неверные данные."), QStringLiteral("Ошибка"));
        return;
    }
    enter(role, code);
}

void TForm23::enter(access_rights::Role role, const QString& code)
{
    using namespace access_rights;
    m_form1.CurrentShift = 1;
    m_form1.AccessCode = code;
    m_form1.N11->setEnabled(role == Role::Full);
    // Nothing starts half-working on a database that lacks changes of the schema this build needs.
    const QSqlDatabase& db = m_dm.ADO_DB;
    if (const QStringList missing = schema_upgrade::missing(db); !missing.isEmpty()) {
        m_prompts.error(schema_upgrade::outdatedText(missing, role == Role::Full, db.databaseName(),
                                                     QStringLiteral("%1:%2").arg(db.hostName()).arg(db.port() > 0 ? db.port() : 5432)),
                        QStringLiteral("Ошибка"));
        end();
        return;
    }
    m_role = role;
    setClientName(m_dm.ADO_DB, clientName(roleKey(role), m_stamp.text()));
    QHash<QString, QPointer<QWidget>> windows = m_windows;
    windows.insert(QStringLiteral("Form1"), &m_form1);
    for (const Restriction& r : restrictions()) {
        if (r.role != role || !windows.value(r.window)) continue;
        QWidget* window = windows.value(r.window);
        for (const QString& name : r.controls) {
            if (auto* w = window->findChild<QWidget*>(name)) w->setEnabled(false);
            else if (auto* a = window->findChild<QAction*>(name)) a->setEnabled(false);
        }
    }
    if (onRoleChosen) onRoleChosen(role);
    for (int shift = 1; shift <= 4; ++shift) m_dm.smenaQuery(shift).setParam(QStringLiteral("OK"), codes::kMarkNone);
    hide();
    m_form1.exec();
    close();
}
