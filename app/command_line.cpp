#include "app/command_line.h"
#include "app/sheet_kinds.h"
#include "data/access.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/prompts.h"
#include "data/settings_file.h"
#include "export/excel_export.h"
#include "reports/report_kinds.h"
#include "reports/report_window.h"
#include "app/month_end.h"
#include "data/read_server.h"
#include "data/replacing_file.h"
#include "data/schema_upgrade.h"
#include "data/session_role.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "rules/month_close.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace command_line_exit;

namespace {

const QString kUsage = QStringLiteral(
    "Использование: tabel [DATABASE SERVER] [--user NAME]   (окна: вход по коду доступа или под своим\n"
    "                   пользователем БД; без DATABASE SERVER — из файла настроек)\n"
    "               tabel DATABASE SERVER --code CODE --report NAME PERIOD --pdf FILE\n"
    "               tabel DATABASE SERVER --code CODE --export NAME [PERIOD] --xlsx FILE\n"
    "               tabel DATABASE SERVER --code CODE --check --month M --year Y\n"
    "               tabel DATABASE SERVER --code CODE --close-month --month M --year Y\n"
    "               tabel DATABASE SERVER --code CODE --reopen-month --month M --year Y --reason ТЕКСТ\n"
    "               tabel DATABASE SERVER --code CODE --month-end --month M --year Y --dir DIR\n"
    "               tabel DATABASE SERVER --code CODE --upgrade-database [--dry-run]\n"
    "--user NAME вместо --code CODE: вход под своим пользователем БД (пароль — из ~/.pgpass, PGPASSWORD\n"
    "    и других средств libpq); роль — по членству в группах tabel_full, tabel_planner, tabel_foremen,\n"
    "    tabel_warehouse (из нескольких — самая широкая).\n"
    "               tabel --version\n"
    "--month-end пишет в DIR все отчеты (PDF) и выгрузки (.xlsx) месяца, доступные коду, из одного\n"
    "    снимка БД, и manifest.json (файлы, их размеры и SHA-256, период, время снимка).\n"
    "--upgrade-database применяет к БД изменения схемы этой программы, которых в ней нет, в одной\n"
    "    транзакции (только полный доступ); с --dry-run печатает их SQL и ничего не меняет.\n"
    "--read-server HOST[:PORT]: отчеты, выгрузки, --check и --month-end читают с резервного сервера\n"
    "    (без него — с read_server файла настроек, если он задан; если сервер недоступен или отстает\n"
    "    больше 30 с — с основного, о чем сказано в stderr).\n"
    "DATABASE SERVER можно не писать, если оба заданы в файле настроек (database, server в [connection]).\n"
    "PERIOD: --from YYYY-MM-DD --to YYYY-MM-DD [--kind all|finished|blanks]  или  --month M --year Y\n"
    "NAME (--report): products, workers, workers-detailed, products-detailed (за период);\n"
    "    time-timesheet, summary (за месяц; summary — сводка за месяц в графиках)\n"
    "NAME (--export): output (за период); history (все изменения за период, без --kind);\n"
    "    operations (без периода); time-timesheet, piecework, utility-works, average-piecework,\n"
    "    general (за месяц)\n"
    "Выгрузка — те же ячейки, что пишет кнопка «Excel» ее окна; код доступа дает то же, что в окнах.\n"
    "--check сравнивает каждую ячейку табеля месяца с суммой его записей и выводит расхождения;\n"
    "    --close-month закрывает месяц, если расхождений нет; --reopen-month открывает его снова\n"
    "    (причина попадает в историю изменений). Только для полного доступа.\n"
    "День --to в период не входит. Файл заменяется только готовым.\n"
    "Коды выхода: 0 готово, 1 ошибка в аргументах, 2 код доступа не подходит, 3 версия программы\n"
    "    старше БД, 4 ошибка БД или запрос шел слишком долго, 5 файл не записать,\n"
    "    6 табель месяца расходится с записями (--check, --close-month), 7 в БД нет изменений схемы,\n"
    "    нужных программе (--upgrade-database).");

const QString kConnection = QStringLiteral("tabel_command_line");
const QStringList kValueOptions = {QStringLiteral("code"), QStringLiteral("report"), QStringLiteral("from"),
                                   QStringLiteral("to"),   QStringLiteral("kind"),   QStringLiteral("month"),
                                   QStringLiteral("year"), QStringLiteral("pdf"),  QStringLiteral("export"),
                                   QStringLiteral("xlsx"), QStringLiteral("reason"), QStringLiteral("dir"),
                                   QStringLiteral("read-server"), QStringLiteral("user")};
const QStringList kMonthActions = {QStringLiteral("check"), QStringLiteral("close-month"), QStringLiteral("reopen-month")};
const QString kReadConnection = QStringLiteral("tabel_command_line_read");
// How far behind the primary a standby may be and still serve a run's reads.
constexpr int kReadLagLimitSeconds = 30;
const QStringList kProductKinds = {QStringLiteral("all"), QStringLiteral("finished"), QStringLiteral("blanks")};

class BadArgument : public std::runtime_error {
public:
    explicit BadArgument(const QString& text) : std::runtime_error(text.toStdString()), message(text) {}
    QString message;
};

/// A run's refusal or failure: its exit code and the message for the error stream.
struct Failure {
    int code;
    QString message;
};

/// What the arguments ask for, checked.
struct Job {
    QString database, server, code;
    QString user;                         ///< a personal login, in place of the code
    QString sslmode;                      ///< the settings' sslmode, if any
    access_rights::Role role = access_rights::Role::None;   ///< the code's, or the login's once connected
    const ReportKind* report = nullptr;   ///< a report to PDF, or
    const SheetKind* sheet = nullptr;     ///< a spreadsheet to .xlsx, or
    QString monthAction;                  ///< one of kMonthActions, on a month, without a file, or
    bool monthEnd = false;                ///< every report and sheet of a month into a folder, or
    bool upgrade = false;                 ///< the schema brought up to date (dryRun: only said)
    bool dryRun = false;
    QString reason;                       ///< why a month is opened again
    QString readServer;                   ///< a standby to read from
    QString target;
    ReportRequest request;
    bool kindGiven = false;

    bool allows(access_rights::Role role) const
    {
        if (monthEnd) return role != access_rights::Role::None;
        if (upgrade) return role == access_rights::Role::Full;
        if (!monthAction.isEmpty()) return access_rights::mayUseTimesheets(role);
        return report ? report->startedBy.allows(role) : mayExport(*sheet, role);
    }
    PeriodKind period() const
    {
        if (upgrade) return PeriodKind::None;
        if (monthEnd || !monthAction.isEmpty()) return PeriodKind::Month;
        return report ? report->period : sheet->period;
    }
    QString what() const
    {
        if (monthEnd) return QStringLiteral("выгрузка месяца");
        if (upgrade) return QStringLiteral("обновление БД");
        if (monthAction == QLatin1String("check")) return QStringLiteral("проверка табеля");
        if (monthAction == QLatin1String("close-month")) return QStringLiteral("закрытие месяца");
        if (monthAction == QLatin1String("reopen-month")) return QStringLiteral("открытие месяца");
        return report ? QStringLiteral("печать отчета «%1»").arg(report->name) : QStringLiteral("выгрузка «%1»").arg(sheet->name);
    }
    /// "недоступна" or "недоступно", as what() is said.
    QString unavailable() const
    {
        const bool neuter = upgrade || monthAction == QLatin1String("close-month") || monthAction == QLatin1String("reopen-month");
        return neuter ? QStringLiteral("недоступно") : QStringLiteral("недоступна");
    }
};

/// How an argument that names an unknown option was written ("-reverse", "--style=x").
QString spelled(const QStringList& args, const QString& name)
{
    for (const QString& a : args) {
        if (!a.startsWith(QLatin1Char('-'))) continue;
        QString bare = a;
        while (bare.startsWith(QLatin1Char('-'))) bare.remove(0, 1);
        if (bare.section(QLatin1Char('='), 0, 0) == name) return a.section(QLatin1Char('='), 0, 0);
    }
    return QStringLiteral("--") + name;
}

class Arguments {
public:
    explicit Arguments(const QStringList& args) : m_args(args)
    {
        // Single-dash words (the toolkit's "-reverse", "-platform") are options too, and unknown.
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const QString& name : kValueOptions)
            m_parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
        m_parser.addOption(QCommandLineOption(QStringLiteral("help")));
        m_parser.addOption(QCommandLineOption(QStringLiteral("version")));
        for (const QString& name : kMonthActions + QStringList{QStringLiteral("month-end"), QStringLiteral("upgrade-database"),
                                                               QStringLiteral("dry-run")})
            m_parser.addOption(QCommandLineOption(name));
        if (!m_parser.parse(QStringList{QStringLiteral("tabel")} + args)) {
            if (!m_parser.unknownOptionNames().isEmpty())
                throw BadArgument(QStringLiteral("неизвестный параметр %1").arg(spelled(args, m_parser.unknownOptionNames().constFirst())));
            if (!args.isEmpty() && kValueOptions.contains(args.constLast().mid(2)))
                throw BadArgument(QStringLiteral("у параметра %1 нет значения").arg(args.constLast()));
            throw BadArgument(m_parser.errorText());
        }
        for (const QString& alone : {QStringLiteral("help"), QStringLiteral("version")})
            if (m_parser.isSet(alone)) throw BadArgument(QStringLiteral("--%1 пишется один, без других аргументов").arg(alone));
        for (const QString& name : kValueOptions) {
            const QStringList values = m_parser.values(name);
            if (values.size() > 1) throw BadArgument(QStringLiteral("параметр --%1 задан дважды").arg(name));
            // "--pdf --code 1": the next option is not the file's name.
            if (!values.isEmpty() && values.constFirst().startsWith(QLatin1String("--")))
                throw BadArgument(QStringLiteral("у параметра --%1 нет значения").arg(name));
        }
    }

    bool has(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QStringList positional() const { return m_parser.positionalArguments(); }

    void require(const QStringList& names) const
    {
        for (const QString& n : names)
            if (!has(n)) throw BadArgument(QStringLiteral("не задан параметр --%1").arg(n));
    }
    void refuse(const QStringList& names, const QString& why) const
    {
        for (const QString& n : names)
            if (has(n)) throw BadArgument(QStringLiteral("параметр --%1 не нужен %2").arg(n, why));
    }
    QDate date(const QString& name) const
    {
        const QDate d = QDate::fromString(value(name), QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid())
            throw BadArgument(QStringLiteral("--%1: нужна дата в виде ГГГГ-ММ-ДД, а не «%2»").arg(name, value(name)));
        return d;
    }
    int number(const QString& name, int min, int max) const
    {
        const std::optional<int> n = formats::parseDigits(value(name));
        if (!n || *n < min || *n > max)
            throw BadArgument(QStringLiteral("--%1: нужно число от %2 до %3 (одни цифры), а не «%4»").arg(name).arg(min).arg(max).arg(value(name)));
        return *n;
    }

private:
    QStringList m_args;
    QCommandLineParser m_parser;
};

/// Reads the period (or the month) the report is made for.
void readPeriod(const Arguments& a, PeriodKind period, Job& job)
{
    const QStringList range = {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("kind")};
    const QStringList month = {QStringLiteral("month"), QStringLiteral("year")};
    switch (period) {
    case PeriodKind::Month:
        a.refuse(range, QStringLiteral("выгрузке за месяц (--month, --year)"));
        a.require(month);
        job.request.month = a.number(QStringLiteral("month"), 1, 12);
        job.request.year = a.number(QStringLiteral("year"), 1900, 9999);
        break;
    case PeriodKind::Range:
        a.refuse(month, QStringLiteral("выгрузке за период (--from, --to)"));
        a.require({QStringLiteral("from"), QStringLiteral("to")});
        job.request.from = a.date(QStringLiteral("from"));
        job.request.to = a.date(QStringLiteral("to"));
        if (job.request.to == job.request.from)
            throw BadArgument(QStringLiteral("период пуст: --from и --to — один и тот же день (день --to в период не входит)"));
        if (job.request.to < job.request.from)
            throw BadArgument(QStringLiteral("--to должна быть позже --from (день --to в период не входит)"));
        if (a.has(QStringLiteral("kind"))) {
            job.request.productKind = int(kProductKinds.indexOf(a.value(QStringLiteral("kind"))));
            if (job.request.productKind < 0)
                throw BadArgument(QStringLiteral("--kind: all, finished или blanks, а не «%1»").arg(a.value(QStringLiteral("kind"))));
            job.kindGiven = true;
        }
        break;
    case PeriodKind::None:
        a.refuse(range + month, QStringLiteral("этой выгрузке: она без периода"));
        break;
    }
}

Job readJob(const QStringList& args, const FileSettings& files)
{
    const Arguments a(args);
    Job job;
    const QStringList positional = a.positional();
    if (positional.size() > 2) throw BadArgument(QStringLiteral("лишний аргумент «%1»").arg(positional.at(2)));
    job.database = positional.value(0).trimmed();
    job.server = positional.value(1).trimmed();
    // A run that names neither takes both from the settings files (there is no default server
    // for a scheduled run).
    if (positional.isEmpty()) {
        job.database = files.database;
        job.server = files.server;
    }
    if (job.database.isEmpty()) throw BadArgument(QStringLiteral("не задана база данных (DATABASE, или database в файле настроек)"));
    if (job.server.isEmpty()) throw BadArgument(QStringLiteral("не задан сервер БД (SERVER, или server в файле настроек)"));
    if (ConnectionSettings::writtenHost(job.server).isEmpty())
        throw BadArgument(QStringLiteral("SERVER: «%1» — адрес IPv6 пишется в квадратных скобках, [::1] или [::1]:5432").arg(job.server));
    const QString port = ConnectionSettings::writtenPort(job.server);
    if (!port.isNull() && ConnectionSettings::portNumber(port) == 0)
        throw BadArgument(QStringLiteral("SERVER: порт «%1» — нужен номер от 1 до 65535 (одни цифры)").arg(port));

    // An access code (the login "sys"), or a personal login whose role is its membership.
    if (a.has(QStringLiteral("user"))) {
        a.refuse({QStringLiteral("code")}, QStringLiteral("вместе с --user: роль дает членство пользователя в группах БД"));
        job.user = a.value(QStringLiteral("user")).trimmed();
        if (job.user.isEmpty()) throw BadArgument(QStringLiteral("--user: не задано имя пользователя БД"));
    } else if (!a.has(QStringLiteral("code")) && !files.user.isEmpty()) {
        job.user = files.user;   // the settings' personal login
    } else {
        a.require({QStringLiteral("code")});
        job.code = a.value(QStringLiteral("code"));
    }
    job.sslmode = files.sslmode;
    int asked = a.has(QStringLiteral("report")) + a.has(QStringLiteral("export")) + a.has(QStringLiteral("month-end")) +
                a.has(QStringLiteral("upgrade-database"));
    job.monthEnd = a.has(QStringLiteral("month-end"));
    job.upgrade = a.has(QStringLiteral("upgrade-database"));
    for (const QString& action : kMonthActions) {
        if (!a.has(action)) continue;
        ++asked;
        job.monthAction = action;
    }
    if (asked != 1)
        throw BadArgument(QStringLiteral("нужен один из параметров: --report (отчет в PDF), --export (выгрузка в Excel), "
                                         "--month-end, --check, --close-month, --reopen-month или --upgrade-database"));
    if (job.upgrade) {
        // The schema is changed on the primary alone, and nothing else is asked.
        for (const QString& other : kValueOptions)
            if (other != QLatin1String("code") && other != QLatin1String("user"))
                a.refuse({other}, QStringLiteral("для --upgrade-database"));
        job.dryRun = a.has(QStringLiteral("dry-run"));
        return job;
    }
    a.refuse({QStringLiteral("dry-run")}, QStringLiteral("здесь: пробный прогон бывает только у --upgrade-database"));
    const bool writes = job.monthAction == QLatin1String("close-month") || job.monthAction == QLatin1String("reopen-month");
    if (a.has(QStringLiteral("read-server"))) {
        if (writes)
            throw BadArgument(QStringLiteral("параметр --read-server не нужен для --%1: месяц закрывается и открывается на "
                                             "основном сервере").arg(job.monthAction));
        job.readServer = a.value(QStringLiteral("read-server")).trimmed();
        const QString readPort = ConnectionSettings::writtenPort(job.readServer);
        if (ConnectionSettings::writtenHost(job.readServer).isEmpty() ||
            (!readPort.isNull() && ConnectionSettings::portNumber(readPort) == 0))
            throw BadArgument(QStringLiteral("--read-server: нужен сервер в виде HOST или HOST:PORT (порт от 1 до 65535), а не «%1»")
                                  .arg(job.readServer));
    } else if (!writes && positional.isEmpty()) {
        // The settings files' standby goes with their server: a run against a server named here
        // (a test server, say) never reads the files' production standby.
        job.readServer = files.readServer;
    }
    if (job.monthEnd) {
        a.refuse({QStringLiteral("pdf"), QStringLiteral("xlsx"), QStringLiteral("reason")},
                 QStringLiteral("для --month-end: файлы пишутся в папку --dir"));
        a.require({QStringLiteral("dir")});
        job.target = a.value(QStringLiteral("dir"));
        if (job.target.trimmed().isEmpty()) throw BadArgument(QStringLiteral("--dir: не задана папка"));
        readPeriod(a, PeriodKind::Month, job);
        return job;
    }
    a.refuse({QStringLiteral("dir")}, QStringLiteral("здесь: папка нужна только для --month-end"));
    if (job.monthAction == QLatin1String("reopen-month")) {
        a.require({QStringLiteral("reason")});
        job.reason = a.value(QStringLiteral("reason")).trimmed();
        if (job.reason.isEmpty()) throw BadArgument(QStringLiteral("--reason: нужна причина, по которой месяц открывается"));
    } else {
        a.refuse({QStringLiteral("reason")}, QStringLiteral("здесь: причина нужна только для --reopen-month"));
    }
    if (!job.monthAction.isEmpty()) {
        a.refuse({QStringLiteral("pdf"), QStringLiteral("xlsx")}, QStringLiteral("для --%1: файл не пишется").arg(job.monthAction));
        readPeriod(a, PeriodKind::Month, job);
        return job;
    }
    QString file;
    if (a.has(QStringLiteral("report"))) {
        file = QStringLiteral("pdf");
        a.refuse({QStringLiteral("xlsx")}, QStringLiteral("отчету: он пишется в PDF (--pdf)"));
        a.require({file});
        job.report = findReportKind(a.value(QStringLiteral("report")));
        if (!job.report) throw BadArgument(QStringLiteral("неизвестный отчет «%1»").arg(a.value(QStringLiteral("report"))));
        readPeriod(a, job.report->period, job);
    } else {
        file = QStringLiteral("xlsx");
        a.refuse({QStringLiteral("pdf")}, QStringLiteral("выгрузке: она пишется в Excel (--xlsx)"));
        a.require({file});
        job.sheet = findSheetKind(a.value(QStringLiteral("export")));
        if (!job.sheet) throw BadArgument(QStringLiteral("неизвестная выгрузка «%1»").arg(a.value(QStringLiteral("export"))));
        if (!job.sheet->write) throw BadArgument(QStringLiteral("выгрузка «%1» в этой сборке недоступна").arg(job.sheet->name));
        if (!job.sheet->byProductKind) a.refuse({QStringLiteral("kind")}, QStringLiteral("выгрузке «%1»: она без вида продукции").arg(job.sheet->name));
        readPeriod(a, job.sheet->period, job);
    }
    job.target = a.value(file);
    if (job.target.trimmed().isEmpty()) throw BadArgument(QStringLiteral("--%1: не задано имя файла").arg(file));
    return job;
}

/// Applies the role of the access code: refuses what the role may not have, and holds the
/// warehouse to finished products as the hub does (its "Вид продукции" is fixed there).
std::optional<Failure> applyRole(Job& job, access_rights::Role role)
{
    job.role = role;
    if (role == access_rights::Role::None) {
        if (!job.user.isEmpty())
            return Failure{kRefused, QStringLiteral("пользователь %1 не входит ни в одну из групп БД tabel_full, tabel_planner, "
                                                    "tabel_foremen, tabel_warehouse: обратитесь к администратору")
                                         .arg(job.user)};
        return Failure{kRefused, QStringLiteral("Введены неверные данные.")};
    }
    if (!job.allows(role)) return Failure{kRefused, job.what() + QStringLiteral(" %1 для этого кода доступа.").arg(job.unavailable())};
    if ((job.period() == PeriodKind::Range || (job.report && job.report->byProductKind)) &&
        !access_rights::mayUse(role, QStringLiteral("Form18"), QStringLiteral("RadioGroup1"))) {
        if (job.kindGiven && job.request.productKind != 1)
            return Failure{kRefused, QStringLiteral("--kind %1 недоступен для этого кода доступа: отчет строится только по "
                                                    "готовой продукции (--kind finished или без --kind)")
                                         .arg(kProductKinds.at(job.request.productKind))};
        job.request.productKind = 1;
    }
    return std::nullopt;
}

/// Why the target cannot take the file: a missing folder, or something there that is not a
/// regular file the user may replace (a folder, a device, a pipe, a read-only file).
std::optional<Failure> targetProblem(const QString& path)
{
    const QFileInfo target(path);
    const QString shown = QDir::toNativeSeparators(target.absoluteFilePath());
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir()) return Failure{kOutputError, QStringLiteral("нет папки %1").arg(QDir::toNativeSeparators(folder.absoluteFilePath()))};
    if (target.isDir()) return Failure{kOutputError, QStringLiteral("%1 — это папка, а не файл").arg(shown)};
    if (target.exists() || target.isSymLink()) {
        if (!target.isFile()) return Failure{kOutputError, QStringLiteral("%1 — это не обычный файл: его не заменить").arg(shown)};
        // The write bits, not only access(): a file marked read-only stays so even for root.
        const auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        if (!target.isWritable() || !(target.permissions() & anyWrite))
            return Failure{kOutputError, QStringLiteral("%1 — файл только для чтения").arg(shown)};
    }
    if (!folder.isWritable()) return Failure{kOutputError, QStringLiteral("нет права записи в папку %1").arg(QDir::toNativeSeparators(folder.absoluteFilePath()))};
    return std::nullopt;
}

/// Messages of the data layer and the export helper go to the error stream; nothing is asked.
class StreamPrompts : public Prompts {
public:
    explicit StreamPrompts(QTextStream& err) : m_err(err) {}
    void error(const QString& text, const QString&) override
    {
        ++m_errors;
        m_err << "tabel: " << text << Qt::endl;
    }
    bool question(const QString& text, const QString&) override
    {
        m_err << "tabel: " << text << Qt::endl;
        return false;
    }
    void information(const QString& text, const QString&) override { m_err << "tabel: " << text << Qt::endl; }

    int errors() const { return m_errors; }

private:
    QTextStream& m_err;
    int m_errors = 0;
};

std::optional<Failure> writeSheet(const SheetKind& sheet, const ReportRequest& request, const QString& target,
                                  TDataModule6& dm, StreamPrompts& prompts)
{
    ExcelApp excel(prompts);   // the workbook goes to the file, never to the screen
    if (sheet.write(dm, excel, request) == -1 || prompts.errors() > 0)
        return Failure{kOutputError, QStringLiteral("книга не записана")};
    if (excel.SaveAs(target) == -1) return Failure{kOutputError, QStringLiteral("книга не записана")};
    return std::nullopt;
}

std::optional<Failure> writeReport(const ReportKind& report, const ReportRequest& request, const QString& target,
                                   TDataModule6& dm)
{
    if (report.writePdf) {
        try {
            report.writePdf(dm, request, target);
        } catch (const ReportError& e) {
            return Failure{kOutputError, e.text()};
        }
        return std::nullopt;
    }
    const std::unique_ptr<ReportWindow> window = report.make(dm);
    // Written page by page as the rows arrive: a report of a whole plant's month takes the
    // memory of a page, not of the month.
    try {
        window->writePdfFor(request, target);
    } catch (const ReportError& e) {
        return Failure{kOutputError, e.text()};
    }
    return std::nullopt;
}

/// Writes one file of the month-end batch: first under a hidden name of this run's own beside it
/// (which a run killed meanwhile leaves to the next run to remove), then renamed into its place.
/// The rename replaces whatever name is there, a symbolic link included, and never writes through
/// a link: a link put in the folder cannot send the batch's file anywhere else.
std::optional<Failure> placeInFolder(const QDir& folder, const QString& file,
                                     const std::function<std::optional<Failure>(const QString&)>& write)
{
    const QString target = folder.filePath(file);
    const QString staged = folder.filePath(ReplacingFile::temporaryName(file, QCoreApplication::applicationPid()));
    const auto removeStaged = qScopeGuard([&staged] { QFile::remove(staged); });
    if (std::optional<Failure> failure = write(staged)) return Failure{failure->code, QStringLiteral("%1: %2").arg(file, failure->message)};
    const QFileInfo written(staged);
    if (written.isSymLink() || !written.isFile())
        return Failure{kOutputError, QStringLiteral("%1: файл подменен во время записи").arg(file)};
    // A file replaced keeps its permissions; a link's are not its own.
    const QFileInfo old(target);
    if (old.isFile() && !old.isSymLink()) QFile::setPermissions(staged, old.permissions());
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0)
        return Failure{kOutputError, QStringLiteral("%1: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno)))};
    return std::nullopt;
}

/// Why a file of the batch cannot take its name in the folder: something there that is neither
/// a file nor a link (a folder, a device, a pipe), or a file marked read-only. A link is replaced.
std::optional<Failure> monthEndTargetProblem(const QString& path)
{
    if (QFileInfo(path).isSymLink()) return std::nullopt;
    return targetProblem(path);
}

/// Every report and sheet of the month the role may have, into the folder, read in one
/// repeatable-read transaction (one snapshot: every file agrees with every other while entries
/// are being saved), each file whole or not at all, a line on the error stream as each is done,
/// and the manifest last. A manifest in the folder describes exactly the files beside it or is
/// not there: the old one goes before the first file is written, so that a run that fails or is
/// killed halfway leaves no manifest that lies about a mix of old and new files.
std::optional<Failure> writeMonthEnd(const Job& job, TDataModule6& dm, StreamPrompts& prompts, QTextStream& err,
                                     const QString& server)
{
    const QSqlDatabase& db = dm.ADO_DB;
    const QList<month_end::Item> items =
        month_end::items(job.role, job.request.month, job.request.year);
    const QDir folder(job.target);
    const QString manifestPath = folder.filePath(month_end::kManifest);
    if (std::optional<Failure> problem = monthEndTargetProblem(manifestPath)) return problem;
    if ((QFileInfo(manifestPath).exists() || QFileInfo(manifestPath).isSymLink()) && !QFile::remove(manifestPath))
        return Failure{kOutputError, QStringLiteral("%1: старый файл не удалить").arg(month_end::kManifest)};
    // What cannot be written is refused before anything is.
    for (const month_end::Item& item : items)
        if (std::optional<Failure> problem = monthEndTargetProblem(folder.filePath(item.file))) return problem;

    Transaction snapshot(db);
    execSql(db, QStringLiteral("set transaction isolation level repeatable read, read only"));
    QSqlQuery at = Statement(QStringLiteral("select clock_timestamp()")).exec(db);
    const QDateTime snapshotAt = at.next() ? at.value(0).toDateTime() : QDateTime::currentDateTimeUtc();
    QList<month_end::Written> written;
    for (int i = 0; i < items.size(); ++i) {
        const month_end::Item& item = items.at(i);
        const std::optional<Failure> failure = placeInFolder(folder, item.file, [&](const QString& target) {
            return item.report ? writeReport(*item.report, item.request, target, dm)
                               : writeSheet(*item.sheet, item.request, target, dm, prompts);
        });
        if (failure) return failure;
        written << month_end::describe(folder.path(), item.file);
        err << QStringLiteral("tabel: [%1/%2] %3, %4 байт").arg(i + 1).arg(items.size()).arg(item.file).arg(written.last().size)
            << Qt::endl;
    }
    snapshot.commit();
    const QByteArray text = month_end::manifest(written, job.request.month, job.request.year, snapshotAt, job.database, server);
    const std::optional<Failure> failure = placeInFolder(folder, month_end::kManifest, [&](const QString& target) -> std::optional<Failure> {
        ReplacingFile manifest(target);
        if (!manifest.open() || manifest.device().write(text) != text.size() || !manifest.commit())
            return Failure{kOutputError, manifest.errorString()};
        return std::nullopt;
    });
    if (failure) return failure;
    err << QStringLiteral("tabel: %1: %2 файлов, снимок БД %3").arg(month_end::kManifest).arg(written.size())
               .arg(snapshotAt.toUTC().toString(Qt::ISODateWithMs))
        << Qt::endl;
    return std::nullopt;
}

/// "10 мин", "0.3 с".
QString duration(int ms)
{
    if (ms % 60000 == 0) return QStringLiteral("%1 мин").arg(ms / 60000);
    return QStringLiteral("%1 с").arg(ms / 1000.0);
}

QString databaseFailure(const DbError& e, const CommandLineLimits& limits)
{
    // query_canceled: the statement time limit ran out. The session has no lock wait limit of
    // its own, so a wait for another client's lock ends here too.
    if (e.sqlState() == QLatin1String("57014"))
        return QStringLiteral("запрос прерван: истек предел времени одного запроса, %1 (в него входит и ожидание записей, "
                              "занятых другими пользователями) (%2)")
            .arg(duration(limits.statementTimeoutMs), e.text().trimmed());
    // The windows' text asks to repeat an action; a run is started again instead.
    if (e.text() == kConnectionLostText)
        return QStringLiteral("Соединение с сервером потеряно: команда не выполнена, месяц и файлы не изменены; запустите ее снова.");
    if (e.text() == kNoConnectionText)
        return QStringLiteral("Нет соединения с сервером: команда не выполнена; проверьте сеть и запустите ее снова.");
    return e.text().trimmed();
}

/// The schema brought up to date, or what would be done said (a dry run); each step, how long
/// it ran and the tables it locked go to out.
std::optional<Failure> upgradeDatabase(const Job& job, const QSqlDatabase& db, const BuildStamp& stamp, QTextStream& out,
                                       QTextStream& err)
{
    // The schema is changed by its owner: a superuser or a member of the owner role, logged in
    // as himself (the code login "sys" is only a member of full access).
    if (!session_role::mayChangeSchema(db))
        return Failure{kRefused, QStringLiteral("схему БД меняет ее владелец: войдите как суперпользователь или член роли "
                                                "tabel_owner (--user ИМЯ)")};
    schema_upgrade::Result result;
    try {
        result = schema_upgrade::upgrade(db, stamp.text(), job.dryRun);
    } catch (const schema_upgrade::UpgradeRefused& e) {
        return Failure{kOutdated, QStringLiteral("БД не обновлена: %1").arg(e.text())};
    }
    if (job.dryRun) {
        out << result.sql;
        err << QStringLiteral("tabel: пробный прогон: %1 изменений схемы, БД не изменена").arg(result.steps.size()) << Qt::endl;
        return std::nullopt;
    }
    if (result.steps.isEmpty()) {
        out << QStringLiteral("БД уже обновлена: изменений схемы нет.") << Qt::endl;
        return std::nullopt;
    }
    for (const schema_upgrade::Step& step : std::as_const(result.steps)) {
        if (step.adopted) {
            out << QStringLiteral("%1: таблицы отдела уже были, принято как сделанное").arg(step.name) << Qt::endl;
            continue;
        }
        out << QStringLiteral("%1: %2 мс; блокировки: %3").arg(step.name).arg(step.ms)
                   .arg(step.locks.isEmpty() ? QStringLiteral("нет") : step.locks.join(QStringLiteral(", ")))
            << Qt::endl;
    }
    out << QStringLiteral("БД обновлена: изменений схемы %1; блокировки держались до конца обновления, %2 мс.")
               .arg(result.steps.size())
               .arg(result.totalMs)
        << Qt::endl;
    return std::nullopt;
}

/// The month's check, closing or reopening; what came of it goes to out.
std::optional<Failure> runMonthAction(const Job& job, const QSqlDatabase& db, QTextStream& out)
{
    const int month = job.request.month, year = job.request.year;
    const QString shown = month_close::monthText(month, year);
    const auto differing = [&](const QList<month_close::Difference>& found, const QString& what) {
        for (const QString& line : month_close::describe(found)) out << line << Qt::endl;
        return Failure{kInconsistent, QStringLiteral("%1: табель за %2 расходится с журналом и часами (расхождений: %3)")
                                          .arg(what, shown)
                                          .arg(found.size())};
    };
    if (job.monthAction == QLatin1String("check")) {
        const QList<month_close::Difference> found = month_close::differences(db, month, year);
        if (!found.isEmpty()) return differing(found, QStringLiteral("проверка табеля"));
        out << QStringLiteral("Табель за %1 сходится с журналом и часами.").arg(shown) << Qt::endl;
    } else if (job.monthAction == QLatin1String("close-month")) {
        const month_close::CloseResult result = month_close::close(db, month, year);
        if (result.outcome == month_close::Outcome::Inconsistent)
            return differing(result.differences, QStringLiteral("месяц не закрыт, перестройте его табель"));
        out << (result.outcome == month_close::Outcome::AlreadyClosed ? QStringLiteral("Месяц %1 уже закрыт.")
                                                                       : QStringLiteral("Месяц %1 закрыт."))
                   .arg(shown)
            << Qt::endl;
    } else {
        const month_close::Outcome outcome = month_close::reopen(db, month, year, job.reason);
        out << (outcome == month_close::Outcome::NotClosed ? QStringLiteral("Месяц %1 не был закрыт.")
                                                           : QStringLiteral("Месяц %1 открыт."))
                   .arg(shown)
            << Qt::endl;
    }
    return std::nullopt;
}

std::optional<Failure> run(Job& job, const BuildStamp& stamp, QTextStream& out, QTextStream& err,
                           const CommandLineLimits& limits)
{
    QSqlDatabase db;
    try {
        ConnectionSettings settings = ConnectionSettings::fromArguments({job.database, job.server});
        // A person logs in as himself: the password comes from libpq's own means (~/.pgpass,
        // PGPASSWORD, PGSERVICE, GSSAPI), never from the program.
        settings.setPersonalUser(job.user);
        settings.setSslMode(job.sslmode);
        db = openConnection(settings, kConnection);
    } catch (const DbError& e) {
        return Failure{kDatabaseError, QStringLiteral("Подключение к БД отсутсвует!!! (%1)").arg(e.text().trimmed())};
    }
    StreamPrompts prompts(err);
    TDataModule6 dm(db, prompts);
    try {
        if (!job.user.isEmpty()) {
            // The schema is changed by its owner or a superuser, whatever the groups say.
            const bool schemaChanger = job.upgrade && session_role::mayChangeSchema(db);
            if (std::optional<Failure> refused = applyRole(job, schemaChanger ? access_rights::Role::Full : session_role::of(db)))
                return refused;
        }
        setClientName(db, clientName(access_rights::roleKey(job.role) + QStringLiteral("-cli"),
                                     stamp.text()));
        // A scheduled run waits for another client's lock as long as for anything else, and never
        // without end: the statement limit cancels a held lock and a runaway query alike.
        setStatementTimeLimit(db, limits.statementTimeoutMs);
        setLockWaitLimit(db, 0);
        if (job.upgrade) return upgradeDatabase(job, db, stamp, out, err);
        // Nothing starts half-working on an old schema, whose tables this login may not even read.
        if (const QStringList missing = schema_upgrade::missing(db); !missing.isEmpty())
            return Failure{kOldSchema, schema_upgrade::outdatedText(missing, job.role == access_rights::Role::Full,
                                                                    job.database, job.server)};
        BuildStamp newest;
        if (checkVersion(dm, stamp, &newest) == VersionVerdict::Outdated)
            return Failure{kOutdated, QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин. ") +
                                          outdatedBuildsText(stamp, newest)};
        // What only reads goes to the standby when one is given and serves; else to the primary,
        // after saying why.
        TDataModule6* reading = &dm;
        std::unique_ptr<TDataModule6> standbyDm;
        QString readOn = job.server;
        const bool writes = job.monthAction == QLatin1String("close-month") || job.monthAction == QLatin1String("reopen-month");
        if (!job.readServer.isEmpty() && !writes) {
            read_server::set(job.readServer, kReadLagLimitSeconds);
            QSqlDatabase standby;
            const QString why = read_server::openSession(standby, kConnection, kReadConnection, 0, read_server::primary(db));
            if (why.isEmpty()) {
                setStatementTimeLimit(standby, limits.statementTimeoutMs);
                standbyDm = std::make_unique<TDataModule6>(standby, prompts);
                standbyDm->setDbDelimiter(dm.dbDelimiter());
                reading = standbyDm.get();
                readOn = job.readServer;
            } else {
                err << "tabel: " << why << Qt::endl;
            }
        }
        if (!job.monthAction.isEmpty()) return runMonthAction(job, writes ? db : reading->ADO_DB, out);
        if (job.monthEnd) return writeMonthEnd(job, *reading, prompts, err, readOn);
        if (job.sheet) return writeSheet(*job.sheet, job.request, job.target, *reading, prompts);
        return writeReport(*job.report, job.request, job.target, *reading);
    } catch (const DbError& e) {
        return Failure{kDatabaseError, databaseFailure(e, limits)};
    } catch (const ReportError& e) {
        return Failure{kDatabaseError, e.text()};
    } catch (const MoneyOverflow& e) {
        return Failure{kOutputError, QString::fromUtf8(e.what())};
    }
    return std::nullopt;
}

} // namespace

bool isCommandLineRun(const QStringList& args)
{
    // "--user NAME" alone starts the windows under a personal login.
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--user")) {
            ++i;
            continue;
        }
        if (args.at(i).startsWith(QLatin1String("--"))) return true;
    }
    return false;
}

QString personalUser(QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--user"));
    if (at < 0 || at + 1 >= args.size()) return {};
    const QString user = args.at(at + 1);
    args.remove(at, 2);
    return user;
}

int runCommandLine(const QStringList& args, const BuildStamp& stamp, QTextStream& err, const CommandLineLimits& limits)
{
    QTextStream out(stdout);
    return runCommandLine(args, stamp, out, err, limits);
}

int runCommandLine(const QStringList& args, const BuildStamp& stamp, QTextStream& out, QTextStream& err,
                   const CommandLineLimits& limits)
{
    if (args == QStringList{QStringLiteral("--help")}) {
        err << kUsage << Qt::endl;
        return kOk;
    }
    FileSettings files;
    try {
        files = settings_file::read();
    } catch (const SettingsError& e) {
        err << "tabel: " << e.text() << Qt::endl;
        return kBadArguments;
    }
    Job job;
    try {
        job = readJob(args, files);
    } catch (const BadArgument& e) {
        err << "tabel: " << e.message << Qt::endl << kUsage << Qt::endl;
        return kBadArguments;
    }
    // A code's role is known at once; a login's once it has connected.
    std::optional<Failure> failure = job.user.isEmpty() ? applyRole(job, access_rights::roleForCode(job.code)) : std::nullopt;
    if (!failure && job.monthEnd && !QDir().mkpath(job.target))
        failure = Failure{kOutputError, QStringLiteral("папку %1 не создать").arg(QDir::toNativeSeparators(job.target))};
    if (!failure && job.monthAction.isEmpty() && !job.monthEnd && !job.upgrade) failure = targetProblem(job.target);
    if (!failure) {
        failure = run(job, stamp, out, err, limits);
        QSqlDatabase::removeDatabase(kReadConnection);
        QSqlDatabase::removeDatabase(kConnection);
    }
    if (!failure) return kOk;
    err << "tabel: " << failure->message << Qt::endl;
    return failure->code;
}
