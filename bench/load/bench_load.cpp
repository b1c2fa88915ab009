// Many foremen at once on the plant (bench/run.sh --plant). Each client is a thread with a session
// of its own doing a foreman's work with the program's own code: journal entries saved as the
// entry dialog saves them (an hour entry now and then, as the register's dialog saves it), each
// followed by the journal's reload as the window runs it; another day of the month looked at;
// now and then a sheet of the month opened, read in the background as the timesheet window reads
// it; and the version check every 30 s. A think time lies between a foreman's actions.
//
// Five scenarios side by side: (a) one client alone, (b) N clients, (c) N clients while the
// month-end batch of the month before reads the primary, (d) the same with the batch reading the
// standby, (e) N clients while the month before is closed (month_close::close) and opened again
// in a loop. Each prints the saves' p50, p95 and p99 and the journal reload's p95 against the
// goals and as a ratio against the client alone; the connections at the peak, the server's memory,
// the processor time of the server, of the clients and of the machine's other work, and the
// temporary files the server wrote.
//
// The clients save into the latest month with entries, each on a day, a shift and workers of his
// own. At the end the entries they saved are removed (by their colours and ids), the month's
// timesheet rows put back, the history of the run's own sessions deleted, and the month before is
// closed or open as it was found.
#include "bench/bench_support.h"
#include "data/background_job.h"
#include "data/codes.h"
#include "data/data_module.h"
#include "data/version_check.h"
#include "rules/hour_entries.h"
#include "rules/journal_entries.h"
#include "rules/month_close.h"
#include "rules/sheet_rows.h"
#include "rules/sheet_statements.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sys/resource.h>

namespace {

// The colours of the entries the clients save start here: the run's own entries are told by them.
constexpr int kColourBase = 900000;
// Every session of the run names itself so: the history rows of its writes are told by it.
const QString kClientName = QStringLiteral("tabel bench load");
// The clients' priority against the server's (0).
constexpr int kClientsNice = 10;
const QString kReopenReason = QStringLiteral("нагрузочный замер: закрытие месяца во время записи");

struct Pace {
    double thinkMin = 2, thinkMax = 5;   // seconds between two actions of a foreman
    int sheetEvery = 300;                // seconds, about, between two sheets a foreman opens
};

struct Options {
    int clients = 100;
    int seconds = 40;   // of each scenario
    Pace pace;
};

/// From the environment (TABEL_LOAD_CLIENTS, TABEL_LOAD_SECONDS, TABEL_LOAD_THINK,
/// TABEL_LOAD_SHEET_EVERY), then the command line (--clients N, --seconds S, --think MIN-MAX,
/// --sheet-every S); nothing when something is miswritten.
std::optional<Options> readOptions(const QStringList& args)
{
    QHash<QString, QString> given;
    const std::pair<const char*, const char*> names[] = {{"--clients", "TABEL_LOAD_CLIENTS"},
                                                         {"--seconds", "TABEL_LOAD_SECONDS"},
                                                         {"--think", "TABEL_LOAD_THINK"},
                                                         {"--sheet-every", "TABEL_LOAD_SHEET_EVERY"}};
    for (const auto& [option, variable] : names)
        if (qEnvironmentVariableIsSet(variable)) given.insert(QLatin1String(option), qEnvironmentVariable(variable));
    for (qsizetype i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size() ||
            std::none_of(std::begin(names), std::end(names), [&](const auto& n) { return args.at(i) == QLatin1String(n.first); }))
            return std::nullopt;
        given.insert(args.at(i), args.at(i + 1));
    }
    Options o;
    bool ok = true;
    const auto number = [&](const QString& option, int& to, int least) {
        if (!given.contains(option)) return;
        bool read = false;
        to = given.value(option).toInt(&read);
        ok = ok && read && to >= least;
    };
    number(QStringLiteral("--clients"), o.clients, 1);
    number(QStringLiteral("--seconds"), o.seconds, 5);
    number(QStringLiteral("--sheet-every"), o.pace.sheetEvery, 1);
    if (given.contains(QStringLiteral("--think"))) {
        const QStringList bounds = given.value(QStringLiteral("--think")).split(QLatin1Char('-'));
        bool low = false, high = false;
        o.pace.thinkMin = bounds.value(0).toDouble(&low);
        o.pace.thinkMax = bounds.value(1).toDouble(&high);
        ok = ok && bounds.size() == 2 && low && high && o.pace.thinkMin > 0 && o.pace.thinkMax >= o.pace.thinkMin;
    }
    if (!ok) return std::nullopt;
    return o;
}

/// What the clients work on, read from the plant once.
struct Plant {
    QDate month;                 ///< the month the foremen enter: the latest with entries (its first day)
    QDate previous;              ///< the month before: its batch runs in (c) and (d), it is closed in (e)
    bool previousClosed = false;
    QList<int> workers;
    QList<std::pair<int, int>> operations;   ///< an operation and its product
    QList<int> groups;
    BuildStamp stamp;            ///< the version row's own: the clients' checks only read
};

QList<QVariantList> rows(const QSqlDatabase& db, const QString& text)
{
    QSqlQuery q = Statement(text).exec(db);
    QList<QVariantList> out;
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < q.record().count(); ++c) row << q.value(c);
        out << row;
    }
    return out;
}

std::optional<Plant> readPlant(const QSqlDatabase& db)
{
    Plant p;
    const QDate last = rows(db, QStringLiteral("select max(data) from accounts_dep.smena")).value(0).value(0).toDate();
    if (!last.isValid()) {
        std::fprintf(stderr, "the database has no journal entries\n");
        return std::nullopt;
    }
    p.month = QDate(last.year(), last.month(), 1);
    p.previous = p.month.addMonths(-1);
    if (month_close::isClosed(db, p.month.month(), p.month.year())) {
        std::fprintf(stderr, "the latest month with entries, %s, is closed: nobody could save into it\n",
                     qPrintable(month_close::monthText(p.month.month(), p.month.year())));
        return std::nullopt;
    }
    p.previousClosed = month_close::isClosed(db, p.previous.month(), p.previous.year());
    for (const QVariantList& r : rows(db, QStringLiteral("select id from accounts_dep.person order by id"))) p.workers << r.at(0).toInt();
    for (const QVariantList& r : rows(db, QStringLiteral("select id, i_id from accounts_dep.oper where i_id not in (7777, 7778) "
                                                         "order by id limit 2000")))
        p.operations.append({r.at(0).toInt(), r.at(1).toInt()});
    for (const QVariantList& r : rows(db, QStringLiteral("select id from cmn_classifier.item order by id limit 100"))) p.groups << r.at(0).toInt();
    const QVariantList ver = rows(db, QStringLiteral("select coalesce(d, 0), coalesce(t, 0) from accounts_dep.ver limit 1")).value(0);
    p.stamp = {ver.value(0).toInt(), ver.value(1).toInt()};
    if (p.workers.isEmpty() || p.operations.isEmpty() || p.groups.isEmpty()) {
        std::fprintf(stderr, "the database lacks workers, operations or nomenclature groups\n");
        return std::nullopt;
    }
    return p;
}

/// What the clients of a scenario measured, in milliseconds.
struct Figures {
    std::vector<double> saves, reloads, sheets;
    int refused = 0;   ///< saves the server refused (a lock waited for past the client's limit among them)
    int unsaved = 0;   ///< saves that ended in another outcome than a saved entry
    int failed = 0;    ///< other actions that failed, connecting included
    QString firstError;

    void note(const QString& error)
    {
        if (firstError.isEmpty()) firstError = error.section(QLatin1Char('\n'), 0, 0);
    }
    void add(const Figures& o)
    {
        saves.insert(saves.end(), o.saves.begin(), o.saves.end());
        reloads.insert(reloads.end(), o.reloads.begin(), o.reloads.end());
        sheets.insert(sheets.end(), o.sheets.begin(), o.sheets.end());
        refused += o.refused;
        unsaved += o.unsaved;
        failed += o.failed;
        if (firstError.isEmpty()) firstError = o.firstError;
    }
};

/// What the clients of one scenario share.
struct Run {
    const bench::Server& server;
    const Plant& plant;
    Pace pace;
    int clients = 0;
    std::atomic<int>& colours;     // the next entry's colour, over the whole run
    std::atomic<int> ready{0};     // clients connected (or failed to)
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
};

/// Waits ms, or less once the run is to stop; false when it is.
bool pause(double ms, const std::atomic<bool>& stop)
{
    const QDeadlineTimer until{qint64(ms)};
    while (!stop.load()) {
        const qint64 left = until.remainingTime();
        if (left <= 0) return true;
        QThread::msleep(ulong(std::min<qint64>(left, 50)));
    }
    return false;
}

template<class F>
double timed(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

/// One foreman's session: his journal (the client's shared queries), his entry writer, his
/// background job for sheets; his shift, his day of the month and his workers (every clients-th
/// of the plant's, from his number on).
class Foreman {
public:
    Foreman(Run& run, int number, const QSqlDatabase& db)
        : m_run(run), m_plant(run.plant), m_dm(db, m_prompts), m_writer(m_dm.ADO_DB), m_job(m_dm.ADO_DB),
          m_random(quint32(number) * 7919u + 1u), m_shift(1 + number % 3),
          m_today(m_plant.month.addDays(number % m_plant.month.daysInMonth()))
    {
        // As the login leaves them: every mark shown in every shift.
        for (int shift = 1; shift <= 4; ++shift) m_dm.smenaQuery(shift).setParam(QStringLiteral("OK"), codes::kMarkNone);
        for (qsizetype i = number % m_plant.workers.size(); i < m_plant.workers.size(); i += run.clients)
            m_workers << m_plant.workers.at(i);
        QObject::connect(&m_job, &BackgroundJob::finished, [this](BackgroundJob::Outcome outcome, const QString& error) {
            m_sheetOutcome = outcome;
            m_sheetError = error;
        });
    }

    /// Works at his pace until the run stops.
    void work(Figures& out)
    {
        QElapsedTimer clock;
        clock.start();
        double nextCheck = uniform(0, 30000), nextSheet = uniform(0, m_run.pace.sheetEvery * 1000.0);
        // The foremen do not start in step.
        if (!pause(uniform(0, m_run.pace.thinkMax * 1000), m_run.stop)) return;
        act(out, [&] { out.reloads.push_back(timed([&] { journalOf(m_today); })); });
        while (pause(uniform(m_run.pace.thinkMin, m_run.pace.thinkMax) * 1000, m_run.stop)) {
            if (clock.elapsed() >= nextCheck) {
                act(out, [&] { checkVersion(m_dm, m_plant.stamp); });
                nextCheck += 30000;
            }
            if (clock.elapsed() >= nextSheet) {
                act(out, [&] { out.sheets.push_back(timed([&] { openSheet(); })); });
                nextSheet += uniform(0.5, 1.5) * m_run.pace.sheetEvery * 1000;
            }
            if (uniform(0, 1) < 0.2) {
                const QDate other = m_plant.month.addDays(int(uniform(0, m_plant.month.daysInMonth() - 0.001)));
                act(out, [&] { out.reloads.push_back(timed([&] { journalOf(other); })); });
            } else {
                save(out);
            }
        }
    }

private:
    double uniform(double from, double to) { return std::uniform_real_distribution<double>(from, to)(m_random); }

    static void act(Figures& out, const std::function<void()>& action)
    {
        try {
            action();
        } catch (const DbError& e) {
            ++out.failed;
            out.note(e.text());
        }
    }

    /// The journal window's reload of a date: the four shifts and the month's state.
    void journalOf(const QDate& day)
    {
        m_dm.openShifts(day);
        month_close::isClosed(m_dm.ADO_DB, day.month(), day.year());
        m_shown = day;
    }

    /// One save as the dialogs make it: every fifth an hour entry, every fourth of the others a
    /// change of an entry of his own shown in the journal, the rest new entries; then the reload
    /// the user waits for: the dialog's refresh of its shift, the journal activated again on today.
    void save(Figures& out)
    {
        const int n = m_saves++;
        bool journal = true;
        std::function<bool()> write;
        if (n % 5 == 4) {
            journal = false;
            hour_entry::Entry e;
            e.workerId = m_workers.at(n % m_workers.size());
            e.groupId = m_plant.groups.at(n % m_plant.groups.size());
            e.kind = n % 2 ? codes::kUtilityWorks : codes::kAveragePiecework;
            e.hours = 1 + n % 4;
            e.normPrice = *Money::parse(u"95.5");
            e.dayOff = m_today.dayOfWeek() >= 6;
            e.day = m_today;
            e.shift = m_shift;
            write = [this, e] { return hour_entry::save(m_dm.ADO_DB, e) == hour_entry::Outcome::Saved; };
        } else if (Dataset& shown = m_dm.smenaQuery(m_shift);
                   n % 4 == 3 && m_shown == m_today && !m_colours.isEmpty() &&
                   shown.locate(QStringLiteral("color"), m_colours.at(n % m_colours.size()))) {
            shift_entry::Entry e = entryOf(shown);
            e.version = shift_entry::versionOf(m_dm.ADO_DB, shown);
            e.quantity = 1 + (e.quantity + 7) % 60;
            write = [this, e] { return m_writer.save(e) == shift_entry::Outcome::Saved; };
        } else {
            const auto [operation, product] = m_plant.operations.at(int(uniform(0, m_plant.operations.size() - 0.001)));
            shift_entry::Entry e;
            e.workerId = m_workers.at(n % m_workers.size());
            e.productId = product;
            e.operationId = operation;
            e.day = m_today;
            e.shift = m_shift;
            e.price = *Money::parse(u"10.5");
            e.quantity = 1 + n % 50;
            e.colour = kColourBase + m_run.colours++;
            e.hours = 1 + n % 8;
            e.keyedIn = m_today;
            m_colours << e.colour;
            write = [this, e] { return m_writer.save(e) == shift_entry::Outcome::Saved; };
        }
        QElapsedTimer t;
        t.start();
        try {
            if (!write()) ++out.unsaved;
        } catch (const DbError& e) {
            ++out.refused;
            out.note(e.text());
        }
        // The user waited for it, refused or not.
        out.saves.push_back(double(t.nsecsElapsed()) / 1e6);
        act(out, [&] {
            out.reloads.push_back(timed([&] {
                if (journal) m_dm.smenaQuery(m_shift).refresh();
                journalOf(m_today);
            }));
        });
    }

    shift_entry::Entry entryOf(const Dataset& row) const
    {
        shift_entry::Entry e;
        e.id = row.asInt(QStringLiteral("id"));
        e.workerId = row.asInt(QStringLiteral("w_id"));
        e.productId = row.asInt(QStringLiteral("i_id"));
        e.operationId = row.asInt(QStringLiteral("o_id"));
        e.day = row.asDate(QStringLiteral("data"));
        e.shift = row.asInt(QStringLiteral("smena"));
        e.price = Money::fromValue(row.value(QStringLiteral("cena")));
        e.quantity = row.asInt(QStringLiteral("kol_vo"));
        e.defects = row.asInt(QStringLiteral("brak"));
        e.colour = row.asInt(QStringLiteral("color"));
        e.hours = row.asInt(QStringLiteral("time"));
        e.keyedIn = m_today;
        return e;
    }

    /// A piecework or the general sheet of the month, as the timesheet window opens it: the
    /// month's state on the window's session, the sheet and its totals read in the background.
    void openSheet()
    {
        static constexpr int kModes[] = {piecework_mode::kPiecework, piecework_mode::kUtilityWorks,
                                         piecework_mode::kAveragePiecework, piecework_mode::kGeneral};
        const int mode = kModes[m_sheets++ % 4];
        const int month = m_plant.month.month(), year = m_plant.month.year();
        month_close::isClosed(m_dm.ADO_DB, month, year);
        Dataset sheet(m_dm.ADO_DB, piecework_mode::statement(mode));
        piecework_mode::setPeriod(sheet, month, year);
        auto rows = std::make_shared<Dataset::Snapshot>();
        auto totals = std::make_shared<sheet_rows::PieceworkTotals>();
        m_job.start(
            [rows, totals, statement = sheet.statement(), month, year](JobContext& context) {
                *rows = Dataset::fetch(statement, context.db());
                *totals = sheet_rows::pieceworkTotals(context.db(), month, year);
            },
            BackgroundJob::Access::Reads);
        m_job.wait(600000);
        if (m_sheetOutcome != BackgroundJob::Outcome::Done) throw DbError(m_sheetError);
        sheet.adopt(std::move(*rows));
    }

    Run& m_run;
    const Plant& m_plant;
    bench::QuietPrompts m_prompts;
    TDataModule6 m_dm;
    shift_entry::Writer m_writer;
    BackgroundJob m_job;
    BackgroundJob::Outcome m_sheetOutcome = BackgroundJob::Outcome::Done;
    QString m_sheetError;
    std::mt19937 m_random;
    const int m_shift;
    const QDate m_today;
    QList<int> m_workers;
    QList<int> m_colours;   // of the entries he added
    QDate m_shown;          // the date the journal shows
    int m_saves = 0;
    int m_sheets = 0;
};

/// A client's thread: connects, waits for the others, works until the run stops.
void client(Run& run, int number, Figures& out)
{
    const QString connection = QStringLiteral("load_client_%1").arg(number);
    bool counted = false;
    try {
        const QSqlDatabase db = openConnection(run.server.clientSettings(), connection);
        Foreman foreman(run, number, db);
        ++run.ready;
        counted = true;
        while (!run.go && !run.stop) QThread::msleep(5);
        if (!run.stop) foreman.work(out);
    } catch (const DbError& e) {
        ++out.failed;
        out.note(e.text());
    }
    if (!counted) ++run.ready;
    QSqlDatabase::removeDatabase(connection);
}

/// Work beside the clients: started as they start, looked at while they work, ended after.
class Beside {
public:
    virtual ~Beside() = default;
    virtual void start() = 0;
    virtual void poll() = 0;
    virtual void end() = 0;
    /// What it did, for the table's notes.
    virtual QString said() const = 0;
    /// A process of its own running now (0: none), whose processor time counts with the clients'.
    virtual qint64 process() const { return 0; }
};

/// The month-end batch of the month before, run by the program as a scheduled run starts it and
/// started again whenever it ends, so that it runs all the while. A run still going when the
/// clients stop is cut short, its sessions on the servers it reads ended with it.
class Batch : public Beside {
public:
    Batch(const bench::Server& server, const QDate& month, const QStringList& more, const QList<QSqlDatabase>& servers)
        : m_server(server), m_month(month), m_more(more), m_servers(servers)
    {
    }
    void start() override { launch(); }
    void poll() override
    {
        m_process.waitForFinished(1);
        m_errors += m_process.readAllStandardError();
        if (m_process.state() == QProcess::NotRunning) {
            ended();
            launch();
        }
    }
    void end() override
    {
        m_process.waitForFinished(1);
        if (m_process.state() == QProcess::NotRunning) {
            ended();
            return;
        }
        m_cutAfter = double(m_clock.nsecsElapsed()) / 1e9;
        m_process.kill();
        m_process.waitForFinished();
        m_errors += m_process.readAllStandardError();
        // "[5/13] workers-2026-11.pdf": the files the cut run had written.
        static const QRegularExpression file(QStringLiteral("\\[(\\d+)/(\\d+)\\]"));
        for (const QRegularExpressionMatch& m : file.globalMatch(QString::fromUtf8(m_errors)))
            m_cutFiles = m.captured(1) + QLatin1Char('/') + m.captured(2);
        for (const QSqlDatabase& db : std::as_const(m_servers)) {
            const QString cli = QStringLiteral("datname = current_database() and application_name like 'tabel %-cli %'");
            execSql(db, QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where ") + cli);
            const QDeadlineTimer gone(10000);
            while (!gone.hasExpired()) {
                QSqlQuery q = Statement(QStringLiteral("select count(*) from pg_stat_activity where ") + cli).exec(db);
                if (q.next() && q.value(0).toInt() == 0) break;
                QThread::msleep(50);
            }
        }
    }
    qint64 process() const override { return m_process.state() == QProcess::NotRunning ? 0 : m_process.processId(); }
    QString said() const override
    {
        QString text = QStringLiteral("the month-end batch of %1: %2 runs done")
                           .arg(month_close::monthText(m_month.month(), m_month.year()))
                           .arg(m_seconds.size());
        if (!m_seconds.empty()) text += QStringLiteral(" in %1 s each").arg(bench::median(m_seconds), 0, 'f', 1);
        if (m_failed) text += QStringLiteral(", %1 failed").arg(m_failed);
        if (m_cutAfter > 0)
            text += QStringLiteral(", one cut at the end after %1 s with %2 files written")
                        .arg(m_cutAfter, 0, 'f', 0)
                        .arg(m_cutFiles.isEmpty() ? QStringLiteral("no") : m_cutFiles);
        return text;
    }

private:
    void launch()
    {
        m_errors.clear();
        m_clock.start();
        m_process.start(QStringLiteral(TABEL_BINARY),
                        bench::monthEndArguments(m_server, m_month, m_dir.filePath(QStringLiteral("run%1").arg(m_runs++))) + m_more);
        m_process.waitForStarted();
    }
    void ended()
    {
        m_seconds.push_back(double(m_clock.nsecsElapsed()) / 1e9);
        m_process.readAllStandardOutput();
        m_errors += m_process.readAllStandardError();
        if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
            ++m_failed;
            std::fprintf(stderr, "month-end batch: %s\n", m_errors.right(2000).constData());
        }
    }

    const bench::Server& m_server;
    QDate m_month;
    QStringList m_more;
    QList<QSqlDatabase> m_servers;   // where its sessions are ended when a run is cut
    QTemporaryDir m_dir;
    QProcess m_process;
    QElapsedTimer m_clock;
    QByteArray m_errors;             // the run's standard error: a line a file written
    int m_runs = 0;
    int m_failed = 0;
    double m_cutAfter = 0;
    QString m_cutFiles;
    std::vector<double> m_seconds;
};

/// The month before closed as the closing window closes it, on a session of its own, and opened
/// again at once, over and over (a month found closed is opened first and closed again after):
/// the closing holds the tables nearly all the while, as a closing kept open would.
class Closing : public Beside {
public:
    Closing(const bench::Server& server, const Plant& plant) : m_server(server), m_month(plant.previous), m_closed(plant.previousClosed) {}
    void start() override
    {
        m_thread.reset(QThread::create([this] { loop(); }));
        m_thread->start();
    }
    void poll() override {}
    void end() override
    {
        m_stop = true;
        m_thread->wait();
    }
    QString said() const override
    {
        return QStringLiteral("the closing of %1: %2 closings (%3 done, %4 refused for differences), %5 s each, "
                              "the tables held %6% of the time%7")
            .arg(month_close::monthText(m_month.month(), m_month.year()))
            .arg(m_closings.size())
            .arg(m_done)
            .arg(m_inconsistent)
            .arg(bench::median(m_closings) / 1000, 0, 'f', 1)
            .arg(m_heldMs / std::max<qint64>(1, m_clock) * 100, 0, 'f', 0)
            .arg(m_refusals ? QStringLiteral("; %1 rounds refused, the last: %2").arg(m_refusals).arg(m_error) : QString());
    }

private:
    void loop()
    {
        const QString connection = QStringLiteral("load_closing");
        QElapsedTimer clock;
        clock.start();
        try {
            const QSqlDatabase db = openConnection(m_server.clientSettings(), connection);
            const int month = m_month.month(), year = m_month.year();
            // Each round leaves the month as it was found; a round the server refuses (a lock
            // waited for too long) is tried again, a few times.
            int refusals = 0;
            while (!m_stop && refusals < 5) {
                try {
                    if (m_closed) month_close::reopen(db, month, year, kReopenReason);
                    month_close::CloseResult result;
                    const double ms = timed([&] { result = month_close::close(db, month, year); });
                    m_closings.push_back(ms);
                    m_heldMs += ms;
                    if (result.outcome == month_close::Outcome::Done) ++m_done;
                    if (result.outcome == month_close::Outcome::Inconsistent) ++m_inconsistent;
                    if (!m_closed && result.outcome == month_close::Outcome::Done) month_close::reopen(db, month, year, kReopenReason);
                    refusals = 0;
                } catch (const DbError& e) {
                    ++refusals;
                    ++m_refusals;
                    m_error = e.text().section(QLatin1Char('\n'), 0, 0);
                }
            }
        } catch (const DbError& e) {
            ++m_refusals;
            m_error = e.text().section(QLatin1Char('\n'), 0, 0);
        }
        m_clock = clock.elapsed();
        QSqlDatabase::removeDatabase(connection);
    }

    const bench::Server& m_server;
    QDate m_month;
    bool m_closed;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop{false};
    std::vector<double> m_closings;
    double m_heldMs = 0;
    qint64 m_clock = 0;
    int m_done = 0, m_inconsistent = 0, m_refusals = 0;
    QString m_error;
};

struct Result {
    QString name;
    Figures figures;
    int sessions = 0;        // connections to the database at the peak, the benchmark's own monitor left out
    double serverMb = 0;     // the primary's processes at the peak (proportional set)
    double serverCpu = 0;    // processor seconds the primary's processes used while the clients worked
    double clientsCpu = 0;   // ... the clients and the batch program, which a plant runs on other machines
    double othersCpu = 0;    // ... everything else on this machine (its other users, the standby)
    double seconds = 0;      // how long they worked
    double tempMb = 0;       // written to temporary files by sorts and hashes larger than work_mem
    QString notes;
};

/// The clients at work for the given time, with the work beside them; the database's sessions and
/// the server's memory looked at twice a second meanwhile.
Result scenario(const QString& name, const bench::Server& server, const Plant& plant, int clients, Pace pace, int seconds,
                std::atomic<int>& colours, const QSqlDatabase& admin, Beside* beside = nullptr)
{
    std::printf("  %s…\n", qPrintable(name));
    std::fflush(stdout);
    Result result;
    result.name = name;
    Run run{server, plant, pace, clients, colours};
    std::vector<Figures> figures(size_t(clients), Figures{});
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back(QThread::create([&run, &figures, i] { client(run, i, figures[size_t(i)]); }));
        threads.back()->start();
    }
    const QDeadlineTimer connecting(120000);
    while (run.ready < clients && !connecting.hasExpired()) QThread::msleep(20);
    const auto look = [&] {
        // Connections only: a statement's parallel workers and the autovacuum are counted apart by the server.
        QSqlQuery q = Statement(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                               "and backend_type = 'client backend' and pid <> pg_backend_pid()"))
                          .exec(admin);
        if (q.next()) result.sessions = std::max(result.sessions, q.value(0).toInt());
        long kb = 0;
        for (const QString& pid : bench::clusterProcesses(admin)) kb += bench::proportionalKb(pid.toLongLong());
        result.serverMb = std::max(result.serverMb, kb / 1024.0);
    };
    if (beside) beside->start();
    // Processor time of the server, of the clients with the work beside them, of the whole machine.
    const auto cpuNow = [&] {
        const qint64 batch = beside ? beside->process() : 0;
        const double clients = bench::processCpuSeconds(0) + (batch ? bench::processCpuSeconds(batch, false) : 0);
        return std::array<double, 3>{bench::clusterCpuSeconds(bench::clusterProcesses(admin)), clients, bench::machineCpuSeconds()};
    };
    const std::array<double, 3> cpu = cpuNow();
    const auto tempBytes = [&admin] {
        QSqlQuery q = Statement(QStringLiteral("select temp_bytes from pg_stat_database where datname = current_database()")).exec(admin);
        return q.next() ? q.value(0).toDouble() : 0.0;
    };
    const double temp = tempBytes();
    run.go = true;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        look();
        if (beside) beside->poll();
        QThread::msleep(500);
    }
    run.stop = true;
    const std::array<double, 3> used = cpuNow();
    result.serverCpu = used[0] - cpu[0];
    result.clientsCpu = used[1] - cpu[1];
    result.othersCpu = std::max(0.0, used[2] - cpu[2] - result.serverCpu - result.clientsCpu);
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    for (auto& t : threads) t->wait();
    if (beside) {
        beside->end();
        result.notes = beside->said();
    }
    // The statistics reach the shared counters within a second of a statement's end.
    QThread::msleep(1500);
    result.tempMb = (tempBytes() - temp) / 1048576;
    for (const Figures& f : figures) result.figures.add(f);
    return result;
}

QString ms(double v) { return QString::number(v, 'f', v < 10 ? 1 : 0); }

/// A percentile of the times in ms, "-" when there are none.
QString at(const std::vector<double>& times, double p) { return times.empty() ? QStringLiteral("-") : ms(bench::percentile(times, p)); }

/// A percentile of the times against the same of the client alone, "-" when either has none.
QString ratio(const std::vector<double>& times, const std::vector<double>& alone, double p)
{
    if (times.empty() || alone.empty()) return QStringLiteral("-");
    return QString::number(bench::percentile(times, p) / bench::percentile(alone, p), 'f', 2) + QLatin1Char('x');
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The clients and the batch program run on machines of their own in a plant: here they yield
    // the processor to the server (every thread and child made from now on inherits it).
    setpriority(PRIO_PROCESS, 0, kClientsNice);
    const std::optional<Options> options = readOptions(app.arguments());
    if (!options) {
        std::fprintf(stderr, "usage: bench_load [--clients N] [--seconds S] [--think MIN-MAX] [--sheet-every S]\n"
                             "(or TABEL_LOAD_CLIENTS, TABEL_LOAD_SECONDS, TABEL_LOAD_THINK, TABEL_LOAD_SHEET_EVERY)\n");
        return 2;
    }
    const bench::Server server;
    if (!server.given()) return 2;
    const int standbyPort = bench::standbyPort();
    if (!standbyPort) return 2;
    const QString adminName = QStringLiteral("load_admin"), standbyName = QStringLiteral("load_standby_admin");
    int status = 0;
    {
        const QSqlDatabase admin = openConnection(server.settings(), adminName);
        setClientName(admin, kClientName);
        ConnectionSettings onStandby = server.settings();
        onStandby.port = standbyPort;
        const QSqlDatabase standbyAdmin = openConnection(onStandby, standbyName);
        const std::optional<Plant> plant = readPlant(admin);
        if (!plant) return 1;
        const QVariantList limits = rows(admin, QStringLiteral("select current_setting('max_connections'), current_setting('shared_buffers'), "
                                                                 "current_setting('work_mem')"))
                                         .value(0);
        std::printf("%d foremen at once on %s: they enter %s (%zu workers), the month before %s is closed in (e); "
                    "a foreman acts every %.0f–%.0f s, opens a sheet about every %d s; %d s a scenario; "
                    "the server: %d cores shared with the clients (at nice %d) and whatever else runs, max_connections %s, "
                    "shared_buffers %s, work_mem %s\n",
                    options->clients, qPrintable(server.db), qPrintable(month_close::monthText(plant->month.month(), plant->month.year())),
                    size_t(plant->workers.size()), qPrintable(month_close::monthText(plant->previous.month(), plant->previous.year())),
                    options->pace.thinkMin, options->pace.thinkMax, options->pace.sheetEvery, options->seconds,
                    QThread::idealThreadCount(), kClientsNice, qPrintable(limits.value(0).toString()), qPrintable(limits.value(1).toString()),
                    qPrintable(limits.value(2).toString()));
        std::fflush(stdout);
        const QVariantList last = rows(admin, QStringLiteral("select (select coalesce(max(id), 0) from accounts_dep.smena), "
                                                             "(select coalesce(max(id), 0) from accounts_dep.fatigue), "
                                                             "(select coalesce(max(id), 0) from accounts_dep.change_log)"))
                                      .value(0);
        const Params month{{QStringLiteral("y"), plant->month.year()}, {QStringLiteral("m"), plant->month.month()}};
        bench::KeptRows monthRows(admin, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"), month);
        std::atomic<int> colours{0};
        std::vector<Result> results;
        try {
            const int n = options->clients;
            const Pace pace = options->pace;
            // Alone, the foreman acts at once after each reload, so that the run gathers enough saves.
            results.push_back(scenario(QStringLiteral("(a) 1 client alone"), server, *plant, 1, Pace{0.1, 0.3, pace.sheetEvery},
                                       options->seconds, colours, admin));
            results.push_back(scenario(QStringLiteral("(b) %1 clients").arg(n), server, *plant, n, pace, options->seconds, colours, admin));
            {
                Batch batch(server, plant->previous, {}, {admin});
                results.push_back(scenario(QStringLiteral("(c) %1 + month-end batch on the primary").arg(n), server, *plant, n, pace,
                                           options->seconds, colours, admin, &batch));
            }
            {
                Batch batch(server, plant->previous, {QStringLiteral("--read-server"), QStringLiteral("127.0.0.1:%1").arg(standbyPort)},
                            {admin, standbyAdmin});
                results.push_back(scenario(QStringLiteral("(d) %1 + month-end batch on the standby").arg(n), server, *plant, n, pace,
                                           options->seconds, colours, admin, &batch));
            }
            {
                Closing closing(server, *plant);
                results.push_back(scenario(QStringLiteral("(e) %1 + closing the month before").arg(n), server, *plant, n, pace,
                                           options->seconds, colours, admin, &closing));
            }
        } catch (const DbError& e) {
            std::fprintf(stderr, "load: %s\n", qPrintable(e.text()));
            status = 1;
        }

        // What the clients wrote goes; the month's timesheet rows are put back as they were.
        execSql(admin, QStringLiteral("delete from accounts_dep.smena where id > :last and color >= :colour"),
                {{QStringLiteral("last"), last.value(0)}, {QStringLiteral("colour"), kColourBase}});
        execSql(admin,
                QStringLiteral("delete from accounts_dep.fatigue where id > :last and d_date >= :first and d_date < :next"),
                {{QStringLiteral("last"), last.value(1)}, {QStringLiteral("first"), plant->month},
                 {QStringLiteral("next"), plant->month.addMonths(1)}});
        monthRows.restore();
        if (month_close::isClosed(admin, plant->previous.month(), plant->previous.year()) != plant->previousClosed) {
            if (plant->previousClosed) month_close::close(admin, plant->previous.month(), plant->previous.year());
            else month_close::reopen(admin, plant->previous.month(), plant->previous.year(), kReopenReason);
        }
        // Only the history rows of this run's own sessions: they name themselves for them.
        execSql(admin, QStringLiteral("delete from accounts_dep.change_log where id > :last and author in "
                                      "(select id from accounts_dep.change_author where client = :client)"),
                {{QStringLiteral("last"), last.value(2)}, {QStringLiteral("client"), kClientName}});

        if (results.size() == 5) {
            const Figures& alone = results.front().figures;
            std::printf("\n%-44s %6s %9s %7s %7s %11s %7s %8s %9s %10s  %s\n", "", "saves", "save p50", "p95", "p99", "reload p95",
                        "sheets", "refused", "sessions", "server MB", "cores busy: server, clients, others");
            for (const Result& r : results) {
                const Figures& f = r.figures;
                std::printf("%-44s %6zu %6s ms %7s %7s %8s ms %7zu %8d %9d %10.0f  %.2f, %.2f, %.2f\n", qPrintable(r.name), f.saves.size(),
                            qPrintable(at(f.saves, 50)), qPrintable(at(f.saves, 95)), qPrintable(at(f.saves, 99)),
                            qPrintable(at(f.reloads, 95)), f.sheets.size(), f.refused, r.sessions, r.serverMb, r.serverCpu / r.seconds, r.clientsCpu / r.seconds,
                            r.othersCpu / r.seconds);
            }
            std::printf("(cores busy: the clients with the batch program, which a plant runs on machines of their own; "
                        "the others are the standby and the machine's other work)\n");
            std::printf("\ngoals: save p95 < 100 ms, p99 < 250 ms, journal reload p95 < 200 ms\n");
            std::printf("%-44s %9s %9s %11s  %s\n", "against the client alone", "save p95", "save p99", "reload p95", "goals");
            for (const Result& r : results) {
                const Figures& f = r.figures;
                QStringList missed;
                if (f.saves.empty()) missed << QStringLiteral("no save done");
                if (f.reloads.empty()) missed << QStringLiteral("no reload done");
                if (bench::percentile(f.saves, 95) >= 100) missed << QStringLiteral("save p95");
                if (bench::percentile(f.saves, 99) >= 250) missed << QStringLiteral("save p99");
                if (bench::percentile(f.reloads, 95) >= 200) missed << QStringLiteral("reload p95");
                std::printf("%-44s %9s %9s %11s  %s\n", qPrintable(r.name), qPrintable(ratio(f.saves, alone.saves, 95)),
                            qPrintable(ratio(f.saves, alone.saves, 99)), qPrintable(ratio(f.reloads, alone.reloads, 95)),
                            missed.isEmpty() ? "met" : qPrintable(QStringLiteral("missed: ") + missed.join(QStringLiteral(", "))));
            }
            std::printf("\n");
            const Result& first = results.front();
            std::printf("(a): the server's processor time for each save of the client alone, with the reload after it and "
                        "the client's other actions between: %.0f ms; a journal reload %s ms (median)\n",
                        first.serverCpu * 1000 / std::max<size_t>(1, first.figures.saves.size()),
                        qPrintable(ms(bench::median(first.figures.reloads))));
            for (const Result& r : results) {
                const Figures& f = r.figures;
                QStringList notes;
                if (!r.notes.isEmpty()) notes << r.notes;
                if (!f.sheets.empty())
                    notes << QStringLiteral("a sheet opened in %1 s (median), %2 s (p95)")
                                 .arg(bench::median(f.sheets) / 1000, 0, 'f', 2)
                                 .arg(bench::percentile(f.sheets, 95) / 1000, 0, 'f', 2);
                if (r.tempMb >= 1) notes << QStringLiteral("%1 MB written to temporary files (sorts and hashes past work_mem)").arg(r.tempMb, 0, 'f', 0);
                if (f.unsaved) notes << QStringLiteral("%1 saves not saved (an outcome other than saved)").arg(f.unsaved);
                if (f.refused + f.failed)
                    notes << QStringLiteral("%1 refused or failed, the first: %2").arg(f.refused + f.failed).arg(f.firstError);
                if (!notes.isEmpty()) std::printf("%s: %s\n", qPrintable(r.name.section(QLatin1Char(' '), 0, 0)), qPrintable(notes.join(QStringLiteral("; "))));
            }
        }
    }
    QSqlDatabase::removeDatabase(adminName);
    QSqlDatabase::removeDatabase(standbyName);
    return status;
}
