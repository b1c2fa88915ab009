#include "rules/book_norms.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/references.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <QSqlQuery>
#include <limits>
#include <optional>

namespace norms {
namespace {

const QString kInsertNorm = QStringLiteral(
    "insert into accounts_dep.norm (o_id, norma, price, prize) values (:o_id, :norma, :price, :prize) returning id");
const std::array<QString, 3> kUpdateNorm = {
    QStringLiteral("update accounts_dep.norm set norma=:value where id=:id"),
    QStringLiteral("update accounts_dep.norm set price=:value where id=:id"),
    QStringLiteral("update accounts_dep.norm set prize=:value where id=:id"),
};
// The operation keeps at least one norm: the last one is never deleted.
const QString kDeleteNorm = QStringLiteral(
    "delete from accounts_dep.norm where id=:id and (select count(*) from accounts_dep.norm where o_id=:o_id)>1");

const std::array<QString, ColumnCount> kTitles = {QStringLiteral("Норматив"), QStringLiteral("Цена"), QStringLiteral("Премия, %")};

} // namespace

const QString& title(int column) { return kTitles[size_t(column)]; }

QString refusal(int column, const QString& typed)
{
    if (column == Price)
        return QStringLiteral("«%1» не подходит для столбца «Цена»: нужна цена числом не меньше нуля, например 12,5. "
                              "Ничего не записано.")
            .arg(typed);
    return QStringLiteral("«%1» не подходит для столбца «%2»: нужно целое число от 0 до %3. Ничего не записано.")
        .arg(typed, kTitles[size_t(column)])
        .arg(std::numeric_limits<int>::max());
}

QVariant cellValue(int column, const QString& text)
{
    // A negative value would make pay negative.
    if (column == Price) {
        const std::optional<double> n = formats::parseNumber(text);
        if (!n || *n < 0) return {};
        // Stored as written, with a point: the server reads the digits into its double precision
        // itself. "-0" is stored as 0.
        if (*n == 0) return QStringLiteral("0");
        if (const std::optional<Money> exact = Money::parse(text)) return exact->toString();
        // Beyond the digits an exact amount keeps (no price comes near): the text with a point.
        return QString(text).replace(QLatin1Char(','), QLatin1Char('.'));
    }
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 ? QVariant(n) : QVariant();
}

CellOutcome storeCell(const QSqlDatabase& db, int operationId, int normId, Values& values, int column,
                      const QString& text)
{
    const QVariant value = cellValue(column, text.trimmed());
    if (value.isNull()) return {.kind = CellOutcome::Refused, .message = refusal(column, text)};
    if (normId != 0) {
        Statement update(kUpdateNorm[size_t(column)]);
        update.setParams({{QStringLiteral("value"), value}, {QStringLiteral("id"), normId}});
        if (update.exec(db).numRowsAffected() == 0)
            return {.kind = CellOutcome::NormGone,
                    .message = QStringLiteral("Норма не записана: её удалили на другом рабочем месте.")};
        values[size_t(column)] = value;
        return {.id = normId};
    }
    values[size_t(column)] = value;
    // A norm is stored once it has its price, so that no operation is priced at nothing.
    if (values[Price].isNull()) return {.kind = CellOutcome::Kept};
    for (int c : {int(Norma), int(Prize)})
        if (values[size_t(c)].isNull()) values[size_t(c)] = 0;
    // The operation is held while its norm is stored: deleted by another client meanwhile, it
    // takes no norm, and its deletion waits for one being stored.
    Transaction tx(db);
    if (!references::hold(db, references::Row::Operation, operationId))
        return {.kind = CellOutcome::OperationGone,
                .message = QStringLiteral("Норма не записана: операцию удалили на другом рабочем месте.")};
    Statement insert(kInsertNorm);
    insert.setParams({{QStringLiteral("o_id"), operationId},
                      {QStringLiteral("norma"), values[Norma]},
                      {QStringLiteral("price"), values[Price]},
                      {QStringLiteral("prize"), values[Prize]}});
    QSqlQuery q = insert.exec(db);
    const int stored = q.next() ? q.value(0).toInt() : 0;
    tx.commit();
    return {.id = stored};
}

void deleteNorm(const QSqlDatabase& db, int normId, int operationId)
{
    execSql(db, kDeleteNorm, {{QStringLiteral("id"), normId}, {QStringLiteral("o_id"), operationId}});
}

} // namespace norms
