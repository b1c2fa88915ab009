// Names and reasons that other systems write into the enterprise's tables may hold characters
// XML forbids; the workbooks written from them, through the command line, stay well-formed and
// keep every row, as a strict parser and the spreadsheet program read them.
#include "app/command_line.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/test_database.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>

namespace {

/// A worker as the person table holds him and as a workbook shows him.
struct Worker {
    int id;
    QString stored;
    QString shown;
};

const QChar kReplacement(QChar::ReplacementCharacter);

/// Workers whose names sort before the fixture's own, so that there are rows after theirs to
/// lose. A lone surrogate has no place here: the server refuses one in UTF-8 text (the
/// spreadsheet helper's own test writes those).
const QList<Worker>& oddWorkers()
{
    static const QList<Worker> workers = {
        {4, QStringLiteral("Абрамов") + QChar(0xFFFF) + QStringLiteral(" А.А."), QStringLiteral("Абрамов") + kReplacement + QStringLiteral(" А.А.")},
        {5, QStringLiteral("Аверин") + QChar(0xFFFE) + QStringLiteral(" В.В."), QStringLiteral("Аверин") + kReplacement + QStringLiteral(" В.В.")},
        {6, QStringLiteral("Агеев\u0001\u000B Г.Г."), QStringLiteral("Агеев") + kReplacement + kReplacement + QStringLiteral(" Г.Г.")},
    };
    return workers;
}

const QString kReason = QStringLiteral("ошибка") + QChar(0xFFFF) + QStringLiteral(" в премии");

/// Whether some row has a cell holding the text.
bool shows(const QList<QStringList>& rows, const QString& text)
{
    return std::any_of(rows.begin(), rows.end(), [&](const QStringList& row) {
        return std::any_of(row.begin(), row.end(), [&](const QString& cell) { return cell.contains(text); });
    });
}

} // namespace

class TestWellFormed : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete m_db; }

    void everyWorkbookIsWellFormedWithEveryRow();

private:
    TestDatabase* m_db = nullptr;
    QTemporaryDir m_tmp;
};

void TestWellFormed::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY(m_tmp.isValid());
    m_db = new TestDatabase(QStringLiteral("well_formed"));
    loadReportFixture(*m_db);
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d12) values (1, 3, 2024, 0, 7778, 4)"));
    // Each odd worker with a journal entry of March, and a row of every kind in its timesheet.
    QSqlQuery q(m_db->db());
    for (const Worker& w : oddWorkers()) {
        for (const char* statement : {"insert into cmn_contractor.person (id, s_caption, s_code) values (:id, :name, :id::text)",
                                      "insert into accounts_dep.person (id, fio) values (:id, :name)"}) {
            QVERIFY(q.prepare(QString::fromLatin1(statement)));
            q.bindValue(QStringLiteral(":id"), w.id);
            q.bindValue(QStringLiteral(":name"), w.stored);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        m_db->exec(QStringLiteral(R"(
            insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values
              ('2024-03-07', 1, %1, 10001, 1, 10, 2, 0, 0, 4, 'ok');
            insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_night) values
              (1, 7777, %1, '2024-03-07', 3, 2024, 2, 100, 0), (2, 7778, %1, '2024-03-08', 3, 2024, 3, 150, 0);
            insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d7) values (%1, 3, 2024, 1, 0, 4);
            insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d7) values (%1, 3, 2024, 0, 7777, 2);
            insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d8) values (%1, 3, 2024, 0, 7778, 3);
        )").arg(w.id));
    }
    // A month closed and opened again for a reason holding U+FFFF.
    entries_fixture::closeAndReopen(*m_db, 2001, 1, QStringLiteral("проверка"), kReason);
}

void TestWellFormed::everyWorkbookIsWellFormedWithEveryRow()
{
    const QDate today = QDate::currentDate();
    const QStringList month = {"--month", "3", "--year", "2024"};
    const QStringList days = {"--from", today.addDays(-1).toString(Qt::ISODate), "--to", today.addDays(2).toString(Qt::ISODate)};
    const QStringList sheets = {"time-timesheet", "piecework", "utility-works", "average-piecework", "general", "history"};
    QStringList files;
    QMap<QString, Workbook> books;
    for (const QString& sheet : sheets) {
        const QString file = QDir(m_tmp.path()).filePath(sheet + QStringLiteral(".xlsx"));
        QString err, out;
        QTextStream errors(&err), results(&out);
        const int exit = runCommandLine(QStringList{m_db->name(), QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()), "--code",
                                                    "3851", "--export", sheet}
                                            + (sheet == QLatin1String("history") ? days : month) + QStringList{"--xlsx", file},
                                        BuildStamp{20240601, 3600}, results, errors);
        errors.flush();
        QCOMPARE(exit, 0);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(xmlFaults(file), QStringList());
        QVERIFY2(readWorkbook(file, &books[file]), qPrintable(sheet));
        files << file;
    }

    // The spreadsheet program shows each sheet whole: as many rows as the workbook holds, the
    // odd workers with the ones after them, and the totals under the table.
    const QMap<QString, QList<QStringList>> shown = readWithSpreadsheetProgram(files);
    for (const QString& file : std::as_const(files)) {
        const QString sheet = QFileInfo(file).completeBaseName();
        const QList<QStringList> rows = shown.value(file);
        const Workbook& book = books[file];
        QVERIFY2(!rows.isEmpty(), qPrintable(sheet));
        QVERIFY2(rows.size() == book.rows.size(),
                 qPrintable(QStringLiteral("%1: %2 rows shown of %3").arg(sheet).arg(rows.size()).arg(book.rows.size())));
        QStringList names = {QStringLiteral("Антонов А.А.")};
        for (const Worker& w : oddWorkers()) names << w.shown;
        for (const QString& name : std::as_const(names)) {
            QVERIFY2(shows(rows, name), qPrintable(sheet + QStringLiteral(": ") + name));
            QVERIFY2(shows(book.rows, name), qPrintable(sheet + QStringLiteral(": ") + name));
        }
        if (sheet == QLatin1String("history")) {
            // Every change of those days, the reopening with its reason among them.
            QSqlQuery changes(m_db->db());
            QVERIFY(changes.prepare(QStringLiteral("select count(*) from accounts_dep.change_log where at >= :from and at < :to")));
            changes.bindValue(QStringLiteral(":from"), today.addDays(-1));
            changes.bindValue(QStringLiteral(":to"), today.addDays(2));
            QVERIFY(changes.exec() && changes.next());
            QCOMPARE(rows.size(), 1 + changes.value(0).toInt());
            const QString reason = QStringLiteral("ошибка") + kReplacement + QStringLiteral(" в премии");
            QVERIFY(shows(rows, reason));
            QVERIFY(shows(book.rows, reason));
        } else if (sheet != QLatin1String("time-timesheet")) {
            QVERIFY2(rows.constLast().contains(QStringLiteral("Итого:")), qPrintable(sheet + QStringLiteral(": ") + rows.constLast().join(u'|')));
        }
    }
}

QTEST_MAIN(TestWellFormed)
#include "tst_well_formed.moc"
