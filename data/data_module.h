#pragma once
#include "data/command.h"
#include "data/dataset.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

class Prompts;

/// The client's one connection and the queries and commands that several windows share.
class TDataModule6 : public QObject {
    Q_OBJECT
public:
    /// Binds every shared component to the connection; nothing is opened here.
    TDataModule6(const QSqlDatabase& db, Prompts& prompts, QObject* parent = nullptr);

    QSqlDatabase ADO_DB;

    Dataset Workers;
    Dataset Izdel;
    Dataset Oper;
    Dataset Vid_oper;
    Dataset Smena1, Smena2, Smena3, Smena4;
    Dataset H_Tabel_1, H_Tabel_2, H_Tabel_3;
    /// General-purpose query: users replace its text, open, read, close.
    Dataset Control;

    Command DelSmena;
    Command SQL_exec;
    Command H_Tabel_ins;
    Command Oper_ins;
    Command Oper_ed;
    Command Oper_del;

    /// The shift query of a shift number; anything but 2..4 gives shift 1's.
    Dataset& smenaQuery(int shift);
    /// The journal of a date: the four shift queries closed and opened again on it.
    void openShifts(const QDate& day);

    /// Runs a count statement in Control (its result has a column cnt) and tells whether cnt of
    /// its first row is above 0: a twin exists. Says nothing; the window tells the user.
    bool CheckDuplicate(const QString& sql, const Params& params = {});
    /// Replaces the first "," (or, when there is none, the first ".") by the database's delimiter.
    QString NormalizeDecimal(const QString& text) const;

    const QString& dbDelimiter() const { return DbDelimiter; }
    void setDbDelimiter(const QString& delimiter) { DbDelimiter = delimiter; }

    Prompts& prompts() { return m_prompts; }

private:
    QString DbDelimiter;
    Prompts& m_prompts;
};

/// The shared query texts, as the enterprise's database expects them.
namespace sql {
extern const QString Workers;
extern const QString Izdel;
extern const QString Oper;
extern const QString Vid_oper;
extern const QString Smena1, Smena2, Smena3, Smena4;
extern const QString H_Tabel_1, H_Tabel_2, H_Tabel_3;
/// The three shifts' rows in one statement, shift by shift, each in its own order: the month's
/// journal is summed once for all three.
extern const QString H_Tabel_123;
extern const QString Oper_del;
} // namespace sql
