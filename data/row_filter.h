#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

/// A client-side filter over a snapshot's rows, of the forms the windows use: a field compared
/// with a number by = or <>, two such comparisons joined by "and", and a text field matched by
/// "like" against a quoted pattern where % stands for any run of characters.
class RowFilter {
public:
    struct Term {
        enum Kind { Equal, NotEqual, Like } kind = Equal;
        QString field;
        double number = 0;
        QStringList pieces;   // the literal pieces of a like pattern, in order
        bool anchoredStart = true;
        bool anchoredEnd = true;
    };

    /// Parses an expression such as "naimen=0", "id_level=2 and b_excluded=0" or
    /// "fio like 'Ив%'" (a quote inside the pattern is doubled); throws DbError otherwise.
    static RowFilter parse(const QString& expression);
    /// Rows whose text field starts with (or contains) the text, taken literally, case ignored.
    static RowFilter like(const QString& field, const QString& text, bool contains);

    const QList<Term>& terms() const { return m_terms; }
    bool isEmpty() const { return m_terms.isEmpty(); }

    /// Whether a like term matches a value (case ignored).
    static bool likeMatches(const Term& term, const QString& value);
    /// Whether a row passes every term; fieldValue gives the row's value of a field by name and
    /// throws DbError for a field the row lacks. A NULL passes no term.
    bool matches(const std::function<QVariant(const QString& field)>& fieldValue) const;

private:
    QList<Term> m_terms;
};
