#include "reports/headless_report.h"
#include "data/access.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/prompts.h"
#include "reports/product_detailed_report.h"
#include "reports/product_report.h"
#include "reports/time_timesheet_report.h"
#include "reports/worker_detailed_report.h"
#include "reports/worker_report.h"

#include <QDir>
#include <algorithm>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <memory>

using namespace headless_exit;

namespace {

const QString kUsage = QStringLiteral(
    "Использование: tabel DATABASE SERVER --code CODE --report NAME\n"
    "    (--from YYYY-MM-DD --to YYYY-MM-DD [--kind all|finished|blanks] | --month M --year Y) --pdf FILE\n"
    "NAME: products, workers, workers-detailed, products-detailed, time-timesheet");

const QString kHeadlessConnection = QStringLiteral("tabel_headless_report");

/// The reports, with the hub's button (or the timesheet menu) that starts each.
struct ReportKind {
    QString name;
    QString button;   // empty: the time timesheet
};
const QList<ReportKind>& reportKinds()
{
    static const QList<ReportKind> kinds = {
        {QStringLiteral("products"), QStringLiteral("Button2")},
        {QStringLiteral("workers"), QStringLiteral("Button4")},
        {QStringLiteral("workers-detailed"), QStringLiteral("Button1")},
        {QStringLiteral("products-detailed"), QStringLiteral("Button3")},
        {QStringLiteral("time-timesheet"), QString()},
    };
    return kinds;
}

struct Request {
    QStringList positional;
    QHash<QString, QString> options;
};

class BadArgument : public std::runtime_error {
public:
    explicit BadArgument(const QString& text) : std::runtime_error(text.toStdString()), message(text) {}
    QString message;
};

Request parse(const QStringList& args)
{
    static const QStringList known = {QStringLiteral("code"), QStringLiteral("report"), QStringLiteral("from"),
                                      QStringLiteral("to"),   QStringLiteral("kind"),   QStringLiteral("month"),
                                      QStringLiteral("year"), QStringLiteral("pdf")};
    Request r;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            r.positional << a;
            continue;
        }
        QString name = a.mid(2), value;
        const int eq = name.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else {
            if (i + 1 >= args.size()) throw BadArgument(QStringLiteral("у параметра %1 нет значения").arg(a));
            value = args.at(++i);
        }
        if (!known.contains(name)) throw BadArgument(QStringLiteral("неизвестный параметр --%1").arg(name));
        if (r.options.contains(name)) throw BadArgument(QStringLiteral("параметр --%1 задан дважды").arg(name));
        r.options.insert(name, value);
    }
    if (r.positional.size() > 2)
        throw BadArgument(QStringLiteral("лишний аргумент «%1»").arg(r.positional.at(2)));
    return r;
}

QDate parseDate(const Request& r, const QString& option)
{
    const QDate d = QDate::fromString(r.options.value(option), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        throw BadArgument(QStringLiteral("--%1: нужна дата в виде ГГГГ-ММ-ДД, а не «%2»").arg(option, r.options.value(option)));
    return d;
}

int parseNumber(const Request& r, const QString& option, int min, int max)
{
    bool ok = false;
    const int n = r.options.value(option).toInt(&ok);
    if (!ok || n < min || n > max)
        throw BadArgument(QStringLiteral("--%1: нужно число от %2 до %3, а не «%4»").arg(option).arg(min).arg(max).arg(r.options.value(option)));
    return n;
}

void require(const Request& r, const QStringList& options)
{
    for (const QString& o : options)
        if (!r.options.contains(o)) throw BadArgument(QStringLiteral("не задан параметр --%1").arg(o));
}

void refuse(const Request& r, const QStringList& options, const QString& why)
{
    for (const QString& o : options)
        if (r.options.contains(o)) throw BadArgument(QStringLiteral("параметр --%1 не нужен %2").arg(o, why));
}

/// Messages of the data layer go to the error stream; nothing is asked.
class StreamPrompts : public Prompts {
public:
    explicit StreamPrompts(QTextStream& err) : m_err(err) {}
    void error(const QString& text, const QString&) override { m_err << "tabel: " << text << Qt::endl; }
    bool question(const QString& text, const QString&) override
    {
        m_err << "tabel: " << text << Qt::endl;
        return false;
    }
    void information(const QString& text, const QString&) override { m_err << "tabel: " << text << Qt::endl; }

private:
    QTextStream& m_err;
};

struct Job {
    QString report;
    QString pdf;
    QDate from, to;
    int kind = 0;
    bool kindGiven = false;
    int month = 0, year = 0;
};

int render(const Job& job, const QStringList& positional, const BuildStamp& stamp, QTextStream& err)
{
    QSqlDatabase db;
    try {
        db = openConnection(ConnectionSettings::fromArguments(positional), kHeadlessConnection);
    } catch (const DbError& e) {
        err << "tabel: Подключение к БД отсутсвует!!! (" << e.text() << ")" << Qt::endl;
        return kDatabaseError;
    }
    StreamPrompts prompts(err);
    TDataModule6 dm(db, prompts);
    try {
        if (checkVersion(dm, stamp) == VersionVerdict::Outdated) {
            err << "tabel: Версия программы не соответсвует БД! Запустите программу через 5 мин." << Qt::endl;
            return kOutdated;
        }
        std::unique_ptr<ReportWindow> window;
        if (job.report == QLatin1String("time-timesheet")) {
            auto form = std::make_unique<TForm15>(dm);
            form->setMonth(job.month, job.year);
            form->H_Tabel.open();
            form->QRLabel33.setCaption(TForm15::titleFor(job.month, job.year));
            window = std::move(form);
        } else {
            ReportLabel* title = nullptr;
            QString caption;
            if (job.report == QLatin1String("products")) {
                auto form = std::make_unique<TForm17>(dm);
                title = &form->QRLabel1;
                caption = TForm17::titleFor(job.from, job.to);
                window = std::move(form);
            } else if (job.report == QLatin1String("workers")) {
                auto form = std::make_unique<TForm16>(dm);
                title = &form->QRLabel1;
                caption = TForm16::titleFor(job.from, job.to);
                window = std::move(form);
            } else if (job.report == QLatin1String("workers-detailed")) {
                auto form = std::make_unique<TForm20>(dm);
                title = &form->QRLabel1;
                caption = TForm20::titleFor(job.from, job.to);
                window = std::move(form);
            } else {
                auto form = std::make_unique<TForm21>(dm);
                title = &form->QRLabel1;
                caption = TForm21::titleFor(job.from, job.to);
                window = std::move(form);
            }
            window->setPeriod(job.from, job.to);
            window->setProductKind(job.kind);
            window->reportQuery().open();
            title->setCaption(caption);
        }
        window->prepare();
        window->reportQuery().close();
        try {
            window->savePdf(job.pdf);
        } catch (const ReportError& e) {
            err << "tabel: " << e.text() << Qt::endl;
            return kOutputError;
        }
    } catch (const DbError& e) {
        err << "tabel: " << e.text() << Qt::endl;
        return kDatabaseError;
    } catch (const ReportError& e) {
        err << "tabel: " << e.text() << Qt::endl;
        return kDatabaseError;
    }
    return kOk;
}

} // namespace

bool isHeadlessReportCall(const QStringList& args)
{
    for (const QString& a : args)
        if (a.startsWith(QLatin1String("--"))) return true;
    return false;
}

int runHeadlessReport(const QStringList& args, const BuildStamp& stamp, QTextStream& err)
{
    if (args.contains(QStringLiteral("--help"))) {
        err << kUsage << Qt::endl;
        return kOk;
    }
    Job job;
    Request request;
    access_rights::Role role = access_rights::Role::None;
    try {
        request = parse(args);
        require(request, {QStringLiteral("code"), QStringLiteral("report"), QStringLiteral("pdf")});
        job.report = request.options.value(QStringLiteral("report"));
        job.pdf = request.options.value(QStringLiteral("pdf"));
        const auto kind = std::find_if(reportKinds().begin(), reportKinds().end(),
                                       [&](const ReportKind& k) { return k.name == job.report; });
        if (kind == reportKinds().end()) throw BadArgument(QStringLiteral("неизвестный отчет «%1»").arg(job.report));
        if (kind->button.isEmpty()) {
            refuse(request, {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("kind")},
                   QStringLiteral("табелю: он строится за месяц (--month, --year)"));
            require(request, {QStringLiteral("month"), QStringLiteral("year")});
            job.month = parseNumber(request, QStringLiteral("month"), 1, 12);
            job.year = parseNumber(request, QStringLiteral("year"), 1900, 9999);
        } else {
            refuse(request, {QStringLiteral("month"), QStringLiteral("year")},
                   QStringLiteral("отчету за период (--from, --to)"));
            require(request, {QStringLiteral("from"), QStringLiteral("to")});
            job.from = parseDate(request, QStringLiteral("from"));
            job.to = parseDate(request, QStringLiteral("to"));
            if (job.to <= job.from) throw BadArgument(QStringLiteral("--to должна быть позже --from (день --to в период не входит)"));
            if (request.options.contains(QStringLiteral("kind"))) {
                static const QStringList kinds = {QStringLiteral("all"), QStringLiteral("finished"), QStringLiteral("blanks")};
                job.kind = int(kinds.indexOf(request.options.value(QStringLiteral("kind"))));
                if (job.kind < 0)
                    throw BadArgument(QStringLiteral("--kind: all, finished или blanks, а не «%1»").arg(request.options.value(QStringLiteral("kind"))));
                job.kindGiven = true;
            }
        }
        if (job.pdf.trimmed().isEmpty()) throw BadArgument(QStringLiteral("--pdf: не задано имя файла"));

        role = access_rights::roleForCode(request.options.value(QStringLiteral("code")));
        if (role == access_rights::Role::None) {
            err << "tabel: Введены неверные данные." << Qt::endl;
            return kRefused;
        }
        const bool allowed = kind->button.isEmpty() ? access_rights::mayUseTimesheets(role)
                                                    : access_rights::mayUse(role, QStringLiteral("Form18"), kind->button);
        if (!allowed) {
            err << "tabel: отчет «" << job.report << "» недоступен для этого кода доступа." << Qt::endl;
            return kRefused;
        }
        if (!kind->button.isEmpty() && !access_rights::mayUse(role, QStringLiteral("Form18"), QStringLiteral("RadioGroup1"))) {
            if (job.kindGiven && job.kind != 1)
                err << "tabel: для этого кода доступа отчет строится только по готовой продукции." << Qt::endl;
            job.kind = 1;
        }
    } catch (const BadArgument& e) {
        err << "tabel: " << e.message << Qt::endl << kUsage << Qt::endl;
        return kBadArguments;
    }

    const QFileInfo target(job.pdf);
    if (!target.absoluteDir().exists()) {
        err << "tabel: нет папки " << QDir::toNativeSeparators(target.absolutePath()) << Qt::endl;
        return kOutputError;
    }
    if (target.isDir()) {
        err << "tabel: " << QDir::toNativeSeparators(target.absoluteFilePath()) << " — это папка, а не файл" << Qt::endl;
        return kOutputError;
    }

    const int code = render(job, request.positional, stamp, err);
    QSqlDatabase::removeDatabase(kHeadlessConnection);
    return code;
}
