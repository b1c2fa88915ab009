#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <array>

/// The norms of an operation (output standard, price per piece, bonus percent), stored cell by
/// cell as the grid edits them: a standard and a bonus whole numbers from 0 that fit an integer,
/// a price a number from 0 stored exactly as written (never a number worked out on this side);
/// a new norm stored once it has its price, with the operation held so that its deletion and the
/// norm cannot cross; the last norm of an operation never deleted.
namespace norms {

enum Column { Norma, Price, Prize, ColumnCount };

/// The column's title, as its heading and its refusals name it.
const QString& title(int column);

/// A norm's values as stored: standard and bonus ints, the price as exact text (or as the
/// database gave it); null where not given yet.
using Values = std::array<QVariant, ColumnCount>;

/// What a cell's text stores; null when the text is refused.
QVariant cellValue(int column, const QString& text);
/// What the user is told of a refused text.
QString refusal(int column, const QString& typed);

/// What came of a finished cell.
struct CellOutcome {
    enum Kind {
        Stored,         ///< the norm stored (a new one got its id)
        Kept,           ///< a new norm without its price yet: the value kept, nothing stored
        Refused,        ///< the text is no value of the column: nothing stored
        OperationGone,  ///< a new norm of an operation deleted by another user meanwhile
        NormGone,       ///< the norm changed was deleted by another user meanwhile
    };
    Kind kind = Stored;
    QString message;  ///< told to the user (under "Ошибка"); empty when stored or kept
    int id = 0;       ///< the norm's id once stored
};

/// A cell finished in the norm normId (0: the operation's new norm, whose values so far are in
/// values) of the operation: the value judged, then stored. A new norm's values take the value
/// and, once the price is there, 0 for a standard or bonus not given. Throws DbError when the
/// server refuses.
CellOutcome storeCell(const QSqlDatabase& db, int operationId, int normId, Values& values, int column,
                      const QString& text);

/// Deletes the norm unless it is the operation's last.
void deleteNorm(const QSqlDatabase& db, int normId, int operationId);

} // namespace norms
