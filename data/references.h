#pragma once
#include <QSqlDatabase>
#include <QString>

/// How a save (of a book or of an entry) and a delete of the reference books meet on a row that one points to and the other
/// removes: the save holds the row (FOR KEY SHARE) in its transaction, the delete locks it
/// (FOR UPDATE) before its in-use check. Whichever comes second waits for the first and then
/// sees what it did: the delete sees the new reference and refuses, the save finds the row gone.
namespace references {

/// A reference-book row by the table it lives in.
enum class Row { Worker, Product, Group, OperationKind, Operation };

/// Holds the row until the caller's transaction ends; false when it is gone. Anyone who may add
/// entries may hold (through a function of the schema's owner), not only who may change the book.
bool hold(const QSqlDatabase& db, Row row, qlonglong id);
/// The statement hold() runs (one parameter, :id; a row when held), for a caller that prepares
/// it once and runs it many times.
QString holdText(Row row);
/// Locks the row for its deletion until the caller's transaction ends, after every save that
/// holds it has ended; false when it is gone.
bool lockForDelete(const QSqlDatabase& db, Row row, qlonglong id);

/// Serialises the saves of one book's names (the book known by its table or view) among all
/// clients until the caller's transaction ends, so that a twin check and the write after it
/// see every other save of that book whole or not at all. Readers are not held up.
void lockNames(const QSqlDatabase& db, const QString& book);

} // namespace references
