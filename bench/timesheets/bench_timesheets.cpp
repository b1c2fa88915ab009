// The timesheets on the large department: the month's rebuilds against one equivalent
// set-based statement in psql (and once against the row-by-row rebuild, a count and an update
// or insert per cell), and opening the time timesheet and the general piecework sheet for a
// busy month against psql running the same statements. The month's timesheet rows are put back
// as they were at the end.
#include "bench/bench_support.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "reports/time_timesheet_report.h"
#include "rules/sheet_statements.h"
#include "timesheets/day_columns.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"
#include "rules/month_rebuild.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <cstdio>

namespace {

QString dateLiteral(const QDate& d) { return QStringLiteral("'''%1'''").arg(d.toString(Qt::ISODate)); }

/// psql variables for a month: the time timesheet's and the piecework timesheet's parameters.
QString monthVariables(int month, int year)
{
    const QDate first(year, month, 1), next = first.addMonths(1);
    QString s = QStringLiteral("\\set mnth %1\n\\set yea %2\n\\set i_month %1\n\\set i_year %2\n"
                               "\\set date1 %3\n\\set date2 %4\n\\o /dev/null\n")
                    .arg(month).arg(year).arg(dateLiteral(first), dateLiteral(next));
    for (int n = 1; n <= 8; ++n) s += QStringLiteral("\\set d_date%1 %2\n").arg(n).arg(dateLiteral(n % 2 ? next : first));
    return s;
}

/// One statement that replaces a month's rows of a family: the delete and the insert together.
QString oneStatement(bool shifts, int month, int year)
{
    const QDate first(year, month, 1);
    const QString days = timesheet_days::dayLines(QStringLiteral("d%1"), QStringLiteral(", "));
    const QString values = timesheet_days::dayLines(QStringLiteral("max(tim) filter (where day=%1)"), QStringLiteral(", "));
    const QString source = shifts
        ? QStringLiteral("select smena as a, w_id as b, 0 as c, extract(day from data)::integer as day, sum(time) as tim "
                         "from accounts_dep.smena where data>='%1' and data<'%2' and smena>0 group by smena, w_id, data")
        : QStringLiteral("select id_o as a, id_p as b, i_night as c, extract(day from d_date)::integer as day, sum(cnt) as tim "
                         "from accounts_dep.fatigue where d_date>='%1' and d_date<'%2' group by id_o, id_p, i_night, d_date");
    return QStringLiteral("with gone as (delete from accounts_dep.h_tabel where smena%1 and month=%2 and year=%3)\n"
                          "insert into accounts_dep.h_tabel(%4, w_id, i_night, month, year, %5)\n"
                          "select a, b, c, %2, %3, %6 from (%7) days group by a, b, c;\n")
        .arg(shifts ? QStringLiteral(">0") : QStringLiteral("=0"))
        .arg(month).arg(year)
        .arg(shifts ? QStringLiteral("smena") : QStringLiteral("i_type"), days, values,
             source.arg(first.toString(Qt::ISODate), first.addMonths(1).toString(Qt::ISODate)));
}

/// The month's shift rows rebuilt the long way: per day the day's totals, per total a count of
/// its row and an update of the day or an insert, each a round trip.
double rowByRowMs(const QSqlDatabase& db, int month, int year)
{
    QElapsedTimer t;
    t.start();
    execSql(db, QStringLiteral("delete from accounts_dep.h_tabel where smena>0 and month=:m and year=:y"),
            {{"m", month}, {"y", year}});
    Dataset dt(db, QStringLiteral(" select smena, w_id, sum(time) as tim from accounts_dep.smena where data=:data group by smena,w_id;"));
    Dataset control(db, QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where w_id=:w and "
                                       "smena=:s and month=:m and year=:y"));
    for (int i = 1; i <= QDate(year, month, 1).daysInMonth(); ++i) {
        dt.close();
        dt.setParam("data", QDate(year, month, i));
        dt.open();
        for (; !dt.eof(); dt.next()) {
            const Params key{{"w", dt.value("w_id")}, {"s", dt.value("smena")}, {"m", month}, {"y", year}};
            control.close();
            control.setParams(key);
            control.open();
            const bool exists = control.asInt("cnt") != 0;
            execSql(db, (exists ? QStringLiteral("update accounts_dep.h_tabel set d%1=:t where w_id=:w and smena=:s and month=:m and year=:y")
                                : QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) values(:s, :w, :m, :y, :t)"))
                            .arg(i),
                    key + Params{{"t", dt.value("tim")}});
        }
    }
    return t.nsecsElapsed() / 1e6;
}

template <typename F>
double timeMs(int rounds, F f)
{
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r) f();
    return t.nsecsElapsed() / 1e6;
}

void report(const char* what, int rounds, double ours, double psql, double goal)
{
    std::printf("%s x%d: %.1f ms, psql %.1f ms, ratio %.2f (goal <= %.1f)\n", what, rounds, ours, psql, ours / psql, goal);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);

    // The busiest month of the journal.
    const bench::BusyMonth busy = bench::busiestMonth(dm.ADO_DB);
    const int month = busy.first.month(), year = busy.first.year();
    std::printf("busy month %02d.%d: %d journal entries\n", month, year, busy.entries);
    const QString vars = monthVariables(month, year);
    const int rounds = 5;
    // The rebuilds replace the month's timesheet rows: put back as they were at the end.
    bench::KeptRows monthRows(dm.ADO_DB, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                              {{QStringLiteral("y"), year}, {QStringLiteral("m"), month}});

    // The month's rebuilds.
    for (bool shifts : {true, false}) {
        const auto rebuild = [&] {
            shifts ? month_rebuild::shiftRows(dm.ADO_DB, month, year) : month_rebuild::hourRows(dm.ADO_DB, month, year);
        };
        rebuild();   // warm both sides' caches
        const double ours = timeMs(rounds, rebuild);
        QString script = vars;
        for (int r = 0; r < rounds; ++r) script += oneStatement(shifts, month, year);
        const double psql = bench::psql(server, {}, script.toUtf8()).ms;
        report(shifts ? "rebuild of the month's shift rows" : "rebuild of the month's hour rows", rounds, ours, psql, 2.0);
        if (shifts) {
            const double oneRebuild = ours / rounds;
            const double longWay = rowByRowMs(dm.ADO_DB, month, year);
            std::printf("  the row-by-row rebuild once: %.1f ms, %.0f times the set-based rebuild (goal >= 50)\n",
                        longWay, longWay / oneRebuild);
            month_rebuild::shiftRows(dm.ADO_DB, month, year);
        }
    }

    // Opening the time timesheet: the three shift queries and the day columns painted.
    TForm15 form15(dm);
    bench::NoDesktop desktop;
    ExcelApp excel(prompts, desktop);
    TForm19 form19(dm, excel, form15);
    form19.ComboBox2->addItem(QString::number(year));
    form19.ComboBox2->setCurrentIndex(0);
    form19.ComboBox1->setCurrentIndex(month - 1);
    form19.show();
    app.processEvents();
    form19.ComboBox1Change();
    form19.work()->wait();
    {
        // The sheets are read in the background: a round ends when they are shown.
        const double ours = timeMs(rounds, [&] {
            form19.ComboBox1Change();
            form19.work()->wait();
            app.processEvents();
        });
        QString script = vars;
        for (int r = 0; r < rounds; ++r)
            for (const QString* text : {&sql::H_Tabel_1, &sql::H_Tabel_2, &sql::H_Tabel_3}) script += *text + QStringLiteral(";\n");
        report("opening the time timesheet", rounds, ours, bench::psql(server, {}, script.toUtf8()).ms, 1.3);
    }

    // Opening the general piecework sheet: the sheet and the four totals.
    TForm27 form27(dm, desktop);
    form27.setMode(piecework_mode::kGeneral);
    form27.cb_year->addItem(QString::number(year));
    form27.ComboBox1->setCurrentIndex(month - 1);
    form27.show();
    app.processEvents();
    form27.ComboBox1Change();
    form27.work()->wait();
    {
        const double ours = timeMs(rounds, [&] {
            form27.ComboBox1Change();
            form27.work()->wait();
            app.processEvents();
        });
        QString script = vars;
        for (int r = 0; r < rounds; ++r)
            for (const QString* text : {&form27.H_Tabel_all.sql(), &sheet_statements::kTotals})
                script += *text + QStringLiteral(";\n");
        report("opening the general piecework sheet", rounds, ours, bench::psql(server, {}, script.toUtf8()).ms, 1.3);
    }
    monthRows.restore();
    return 0;
}
