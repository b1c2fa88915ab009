#pragma once
#include <QSqlDatabase>
#include <QString>

/// The reference books' saves and deletes (workers, operation kinds, nomenclature groups,
/// products, operations): each checks its values, then writes in one transaction of its own, and
/// says what came of it, with the words the user is told. Saves hold what the row points to and
/// deletes lock the row before their in-use checks (see references::), so a save and a delete
/// that meet on a row never leave a reference to nothing.
namespace books {

/// Told when a change or deletion finds its row already deleted by another user.
extern const QString kRowGoneMessage;

/// What a write came to.
struct Outcome {
    enum Kind {
        Written,        ///< stored or deleted as asked
        Refused,        ///< a value refused before anything was written (an incomplete or unreadable field)
        Twin,           ///< another row already holds the name; nothing written
        ReferenceGone,  ///< what the row would point to was deleted by another user; nothing written
        RowGone,        ///< the row being changed or deleted is gone; nothing written
        InUse,          ///< a delete refused: other rows still use the row; nothing deleted
    };
    Kind kind = Written;
    /// What the user is told, under title; empty when there is nothing to tell.
    QString message;
    QString title;
    /// The new row's id, where a new row was stored and the book hands it on.
    int id = 0;

    bool written() const { return kind == Written; }
};

/// What a book demands of the name it stores, and what it tells the user otherwise.
struct NameRule {
    /// Told when the name is empty, blank, or holds control characters.
    QString incompleteMessage = QStringLiteral("Все поля должны быть заполнены!");
    /// Characters the column holds, and what is told of a longer name ("%1" the number).
    int maxLength = 254;
    QString tooLongMessage;
    /// Where twins are looked for: no other row of the table may hold the name in any letter
    /// case (the server lower- and then upper-cases both sides; a changed row is not its own
    /// twin). The table also names the lock that serialises the book's saves. An empty table: no
    /// twin check.
    QString twinTable;
    QString twinColumn;
    QString twinMessage;
};

/// A trimmed name judged by the rule's readability and length (otherIncomplete: another field
/// of the save is missing, told as incomplete too): Written when acceptable, else Refused with
/// the rule's message.
Outcome checkName(const QString& name, const NameRule& rule, bool otherIncomplete = false);

/// Whether a row of the rule's table other than exceptId (0: none) holds the name in any letter
/// case, as the server cases it. Call within the caller's transaction, after lockNames.
bool hasTwin(const QSqlDatabase& db, const QString& name, const NameRule& rule, int exceptId);

// Every save below stores a new row when id is 0 and changes row id otherwise; names are taken
// trimmed of surrounding blanks.

/// A worker: the name (the rule's checks, no twin check) and the position's caption as shown.
Outcome saveWorker(const QSqlDatabase& db, int id, const QString& fio, const QString& position);
/// Deletes a worker whatever points at him, once every save holding him has ended.
Outcome deleteWorker(const QSqlDatabase& db, int id);

/// An operation kind: a readable name of at most 50 characters, no twin in any letter case.
Outcome saveOperationKind(const QSqlDatabase& db, int id, const QString& name);
/// Deletes a kind no operation is of; InUse tells how many operations are.
Outcome deleteOperationKind(const QSqlDatabase& db, int id);

/// A nomenclature group (level 2 of the department's classifier) and whether it is out of use.
Outcome saveGroup(const QSqlDatabase& db, int id, const QString& caption, bool excluded);
/// Deletes a group without products and without hour or journal entries booked on it.
Outcome deleteGroup(const QSqlDatabase& db, int id);

/// A product as its dialog gives it: the brand, the price per box as typed, the group.
struct ProductFields {
    int id = 0;
    QString brand;
    /// A number of 0 or more with at most 22 digits before the decimal comma or point; stored
    /// exactly as written.
    QString price;
    qlonglong group = 0;
};
/// A product: every field filled, a readable brand without a twin in any letter case, a price
/// that is a number from 0 below 10^22, a group not deleted meanwhile.
Outcome saveProduct(const QSqlDatabase& db, const ProductFields& product);

/// How much of the journal and the operations a product has.
struct ProductUse {
    qlonglong entries = 0;     ///< its journal entries (practically every date)
    qlonglong operations = 0;  ///< its operations
};
ProductUse productUse(const QSqlDatabase& db, int productId);
/// Deletes what the user agreed to, in one transaction: the product's operations that no journal
/// entry uses (dropOperations), and the product with all its journal entries, bringing their
/// timesheet cells into step (dropProduct). Refused, nothing deleted, when the product is gone or
/// has more entries or operations than agreed (saved while the user answered). Written may
/// carry a message: how many operations stayed because journal entries use them.
Outcome deleteProduct(const QSqlDatabase& db, int productId, const ProductUse& agreed, bool dropOperations,
                      bool dropProduct);

/// An operation as its dialog gives it: kind, product and class (0 finished products, 1 blanks).
struct OperationFields {
    int id = 0;
    int kind = 0;
    int product = 0;
    int productClass = 0;
    /// Whether the names shown are the ones picked (or the opened operation's).
    bool picked = true;
};
/// An operation: picked names, a kind and a product, one of the two classes; the product and
/// the kind not deleted meanwhile; no twin of the same kind, class and product. A new operation
/// starts with its own price 0 and no norms; its id comes back. RowGone: the changed operation
/// was deleted meanwhile.
Outcome saveOperation(const QSqlDatabase& db, const OperationFields& operation);
/// Deletes an operation with its norms, unless journal entries use it, or hour entries use it as
/// the operation carrying the hourly prices (then InUse tells how many of each).
Outcome deleteOperation(const QSqlDatabase& db, int id);

} // namespace books
