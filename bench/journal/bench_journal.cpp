// Opening the journal of one busy date: the four shift queries through the data layer, and a
// date change in the journal window, each against psql running the same four statements.
// Saving new entries through the shift entry dialog's save, against psql running the same
// statements, each entry in a transaction of its own. Works only in the database bench/run.sh
// seeded; the entries it saved are removed by their ids and the month's timesheet rows put back.
#include "bench/bench_support.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "journal/journal_window.h"
#include "rules/journal_entries.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

/// The month the saves go into: the seeds' last, which the plant keeps open (its older months are
/// closed, and a closed month takes no entries).
const QDate kSavedMonth(2026, 12, 1);

/// psql runs the four statements `rounds` times in one session; milliseconds.
double psqlMs(const bench::Server& server, const QDate& day, int rounds)
{
    QString script = QStringLiteral("\\set data '''%1'''\n\\set ok '''ta'''\n\\o /dev/null\n").arg(day.toString(Qt::ISODate));
    for (int r = 0; r < rounds; ++r)
        for (const QString* text : {&sql::Smena1, &sql::Smena2, &sql::Smena3, &sql::Smena4}) script += *text + QStringLiteral(";\n");
    return bench::psql(server, {}, script.toUtf8()).ms;
}

/// The n-th new entry of a run: every entry its own (the colour tells them apart), spread over
/// the workers, the shifts and the days of a month.
shift_entry::Entry newEntry(int run, int n)
{
    shift_entry::Entry e;
    e.workerId = 1 + (n * 7) % 320;
    e.productId = 10001 + n % 200;
    e.operationId = (n % 200) * 6 + 1 + n % 6;
    e.day = kSavedMonth.addDays(n % 28);
    e.shift = 1 + n % 4;
    e.price = *Money::parse(u"10.5");
    e.quantity = 12;
    e.defects = 1;
    e.colour = run * 1000 + n;
    e.hours = 2;
    e.keyedIn = kSavedMonth.addDays(29);
    return e;
}

/// The statements the save runs for a new entry, with the values written in.
QString saveScript(const shift_entry::Entry& e)
{
    const QString day = e.day.toString(Qt::ISODate);
    const int month = e.day.year() * 100 + e.day.month();
    QString s = QStringLiteral("begin;\n");
    s += QStringLiteral("select pg_advisory_xact_lock(%1, %2);\n").arg(e.workerId).arg(month);
    s += QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=%1 and o_id=%2 and i_id=%3 and data='%4' "
                        "and smena=%5 and color=%6;\n")
             .arg(e.workerId).arg(e.operationId).arg(e.productId).arg(day).arg(e.shift).arg(e.colour);
    // The id of the new entry goes to the output, to be removed by it afterwards.
    s += QStringLiteral("\\o\ninsert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, "
                        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(%1, %2, %3, 10.5, 12, 1, '%4', "
                        "%5, %6, 2, '%7', 'no', 0, 0, 0, 0, 0, 0) returning id;\n\\o /dev/null\n")
             .arg(e.workerId).arg(e.productId).arg(e.operationId).arg(day).arg(e.shift).arg(e.colour)
             .arg(e.keyedIn.toString(Qt::ISODate));
    s += QStringLiteral("select pg_advisory_xact_lock(%1, %2);\n").arg(e.workerId).arg(month);
    s += QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=%1 and smena=%2 and data='%3' "
                        "group by w_id, smena, data;\n").arg(e.workerId).arg(e.shift).arg(day);
    s += QStringLiteral("update accounts_dep.h_tabel set d%1=4 where w_id=%2 and smena=%3 and month=%4 and year=%5;\n")
             .arg(e.day.day()).arg(e.workerId).arg(e.shift).arg(e.day.month()).arg(e.day.year());
    s += QStringLiteral("commit;\n");
    return s;
}

/// The id of the entry a save of this run reported Saved: the save refuses an entry whose
/// worker, operation, product, date, shift and colour another entry has, so the one entry with
/// them is the one it wrote.
QString savedId(const QSqlDatabase& db, const shift_entry::Entry& e)
{
    Statement find(QStringLiteral("select id from accounts_dep.smena where w_id=:w and o_id=:o and i_id=:i and data=:d "
                                  "and smena=:s and color=:c"));
    find.setParams({{"w", e.workerId}, {"o", e.operationId}, {"i", e.productId}, {"d", e.day}, {"s", e.shift}, {"c", e.colour}});
    QSqlQuery q = find.exec(db);
    return q.next() ? q.value(0).toString() : QString();
}

/// Removes the entries with these ids, nothing else; says so when some were already gone.
void removeEntries(const QSqlDatabase& db, const QStringList& ids)
{
    Statement remove(QStringLiteral("delete from accounts_dep.smena where id = any(cast(:ids as integer[]))"));
    remove.setParam(QStringLiteral("ids"), QStringLiteral("{%1}").arg(ids.join(u',')));
    const int gone = remove.exec(db).numRowsAffected();
    if (gone != ids.size()) std::fprintf(stderr, "removed %d of the %lld entries saved\n", gone, qlonglong(ids.size()));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);
    setClientName(dm.ADO_DB, QStringLiteral("tabel bench journal"));
    for (int i = 1; i <= 4; ++i) dm.smenaQuery(i).setParam(QStringLiteral("ok"), QStringLiteral("ta"));

    // The busiest date of the year.
    Dataset busiest(dm.ADO_DB, QStringLiteral("select data, count(*) as n from accounts_dep.smena group by data order by 2 desc, 1 limit 1"));
    busiest.open();
    const QDate day = busiest.asDate(QStringLiteral("data"));
    const QDate otherDay = day.addDays(1);   // as busy: every day of the seed has as many entries
    std::printf("busy date %s: %d entries\n", qPrintable(day.toString(Qt::ISODate)), busiest.asInt(QStringLiteral("n")));

    const int rounds = 10;
    // Warm both sides' caches once.
    psqlMs(server, day, 1);
    for (int i = 1; i <= 4; ++i) { dm.smenaQuery(i).setParam(QStringLiteral("data"), day); dm.smenaQuery(i).open(); }

    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r)
        for (int i = 1; i <= 4; ++i) {
            Dataset& q = dm.smenaQuery(i);
            q.close();
            q.setParam(QStringLiteral("DATA"), day);
            q.open();
        }
    const double layerMs = t.nsecsElapsed() / 1e6;
    const double psql = psqlMs(server, day, rounds);
    std::printf("four shift queries x%d: data layer %.1f ms, psql %.1f ms, ratio %.2f (goal <= 1.3); one shift of the day "
                "%.1f ms (goal < 20 ms)\n",
                rounds, layerMs, psql, layerMs / psql, layerMs / (4 * rounds));

    TForm1 form(dm);
    form.show();
    app.processEvents();
    std::printf("resident memory after start-up: %ld KiB\n", bench::statusKb(0, "VmRSS:"));
    t.restart();
    for (int r = 0; r < rounds; ++r) {
        form.DateT->setDate(r % 2 ? otherDay : day);   // a pick in the calendar: the grid reloads
        form.DBGrid2->viewport()->repaint();
    }
    const double windowMs = t.nsecsElapsed() / 1e6;
    const double psql2 = psqlMs(server, day, rounds);
    std::printf("date change in the journal x%d: window %.1f ms, psql %.1f ms, ratio %.2f (goal <= 1.5)\n",
                rounds, windowMs, psql2, windowMs / psql2);

    // Saving new entries: the dialog's save (locks, duplicate check, insert, timesheet cell, one
    // transaction) against psql running the same statements. Each side writes entries of its own;
    // the warm-up run makes the month's timesheet rows, so that both sides then update them.
    // Afterwards the entries go by their ids and the month's timesheet rows are put back.
    const int entries = 200;
    bench::KeptRows monthRows(dm.ADO_DB, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                              {{QStringLiteral("y"), kSavedMonth.year()}, {QStringLiteral("m"), kSavedMonth.month()}});
    QStringList saved;
    shift_entry::Writer writer(dm.ADO_DB);
    // The outcome of each save of the run in progress; a save not made counts as refused.
    std::vector<shift_entry::Outcome> outcomes;
    int run = 1;
    const auto keepIds = [&] {
        for (int n = 0; n < entries; ++n)
            if (outcomes[size_t(n)] == shift_entry::Outcome::Saved) saved += savedId(dm.ADO_DB, newEntry(run, n));
        outcomes.assign(entries, shift_entry::Outcome::Duplicate);
    };
    outcomes.assign(entries, shift_entry::Outcome::Duplicate);
    double bestSave = 1e300, bestPsql = 1e300;
    bool failed = false;
    try {
        for (int n = 0; n < entries; ++n) outcomes[size_t(n)] = writer.save(newEntry(run, n));
        keepIds();
        // Side by side in alternating rounds, the best round of each: the machine is shared.
        for (int round = 0; round < 5; ++round) {
            QString script = QStringLiteral("\\o /dev/null\n");
            for (int n = 0; n < entries; ++n) script += saveScript(newEntry(10 + 2 * round, n));
            const bench::PsqlRun baseline = bench::psql(server, {QStringLiteral("-tA")}, script.toUtf8());
            for (const QByteArray& id : baseline.output.split('\n')) saved += QString::fromLatin1(id.trimmed());
            bestPsql = std::min(bestPsql, baseline.ms);
            run = 11 + 2 * round;
            t.restart();
            for (int n = 0; n < entries; ++n) outcomes[size_t(n)] = writer.save(newEntry(run, n));
            bestSave = std::min(bestSave, t.nsecsElapsed() / 1e6);
            const auto made = std::count(outcomes.begin(), outcomes.end(), shift_entry::Outcome::Saved);
            if (made != entries) std::fprintf(stderr, "only %lld of %d entries saved\n", qlonglong(made), entries);
            keepIds();
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "saving: %s\n", qPrintable(e.text()));
        keepIds();
        failed = true;
    }

    // What the database's guard of closed months and its history of changes cost a save: the
    // same saves with their triggers on, and off for the baseline, in alternating rounds.
    const QStringList guards = {QStringLiteral("accounts_dep.smena enable trigger smena_changed"),
                                QStringLiteral("accounts_dep.h_tabel enable trigger h_tabel_changed")};
    const auto switchGuards = [&](bool on) {
        for (QString g : guards) execSql(dm.ADO_DB, QStringLiteral("alter table ") + (on ? g : g.replace(QStringLiteral(" enable "), QStringLiteral(" disable "))));
    };
    QSqlQuery lastQuery = Statement(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.change_log")).exec(dm.ADO_DB);
    const qlonglong lastLogged = lastQuery.next() ? lastQuery.value(0).toLongLong() : 0;
    double bestGuarded = 1e300, bestBare = 1e300;
    if (!failed) {
        try {
            for (int round = 0; round < 5; ++round) {
                for (const bool on : {false, true}) {
                    switchGuards(on);
                    run = 30 + 2 * round + int(on);
                    t.restart();
                    for (int n = 0; n < entries; ++n) outcomes[size_t(n)] = writer.save(newEntry(run, n));
                    (on ? bestGuarded : bestBare) = std::min(on ? bestGuarded : bestBare, t.nsecsElapsed() / 1e6);
                    keepIds();
                }
            }
        } catch (const DbError& e) {
            std::fprintf(stderr, "saving with and without the guards: %s\n", qPrintable(e.text()));
            keepIds();
            failed = true;
        }
        switchGuards(true);
    }

    // What the roles cost a save: the same saves by the code login "sys", an ordinary member of
    // full access held to its grants, and by the benchmarks' superuser, whom no grant holds, in
    // alternating rounds.
    double bestAsSys = 1e300, bestAsSuperuser = 1e300;
    if (!failed) {
        QSqlDatabase sysDb = openConnection(server.clientSettings(), QStringLiteral("bench_sys"));
        setClientName(sysDb, QStringLiteral("tabel bench journal"));
        shift_entry::Writer sysWriter(sysDb);
        try {
            for (int round = 0; round < 5; ++round) {
                for (const bool asSys : {false, true}) {
                    run = 50 + 2 * round + int(asSys);
                    t.restart();
                    for (int n = 0; n < entries; ++n) outcomes[size_t(n)] = (asSys ? sysWriter : writer).save(newEntry(run, n));
                    (asSys ? bestAsSys : bestAsSuperuser) = std::min(asSys ? bestAsSys : bestAsSuperuser, t.nsecsElapsed() / 1e6);
                    keepIds();
                }
            }
        } catch (const DbError& e) {
            std::fprintf(stderr, "saving as sys and as the superuser: %s\n", qPrintable(e.text()));
            keepIds();
            failed = true;
        }
    }
    saved.removeAll(QString());
    removeEntries(dm.ADO_DB, saved);
    monthRows.restore();
    // Only the history rows of this run's own saves: its session names itself for them.
    execSql(dm.ADO_DB, QStringLiteral("delete from accounts_dep.change_log where id > :last and author in "
                                      "(select id from accounts_dep.change_author where client = :client)"),
            {{QStringLiteral("last"), lastLogged}, {QStringLiteral("client"), QStringLiteral("tabel bench journal")}});
    if (failed) return 1;
    std::printf("saving a new entry x%d, best of 5 rounds: dialog's save %.1f ms, psql %.1f ms, ratio %.2f (goal <= 1.5)\n",
                entries, bestSave, bestPsql, bestSave / bestPsql);
    std::printf("the closed-month guard and the history on a save x%d, best of 5 rounds: with them %.1f ms, without %.1f ms, "
                "ratio %.2f (goal <= 1.2)\n",
                entries, bestGuarded, bestBare, bestGuarded / bestBare);
    std::printf("the roles on a save x%d, best of 5 rounds: as \"sys\" (full access, held to its grants) %.1f ms, "
                "as a superuser %.1f ms, ratio %.2f (goal <= 1.1)\n",
                entries, bestAsSys, bestAsSuperuser, bestAsSys / bestAsSuperuser);
    return 0;
}
