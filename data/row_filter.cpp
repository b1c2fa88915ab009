#include "data/row_filter.h"
#include "data/dataset.h"
#include "data/db_error.h"

#include <QRegularExpression>

namespace {

[[noreturn]] void badFilter(const QString& e)
{
    throw DbError(QStringLiteral("Неверное выражение фильтра: %1").arg(e));
}

RowFilter::Term parseTerm(const QString& text)
{
    static const QRegularExpression compare(QStringLiteral(R"(^\s*(\w+)\s*(=|<>)\s*(-?\d+(?:\.\d+)?)\s*$)"));
    static const QRegularExpression like(QStringLiteral(R"(^\s*(\w+)\s+like\s+'((?:[^']|'')*)'\s*$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    RowFilter::Term t;
    if (const auto m = compare.match(text); m.hasMatch()) {
        t.kind = m.captured(2) == QLatin1String("=") ? RowFilter::Term::Equal : RowFilter::Term::NotEqual;
        t.field = m.captured(1);
        t.number = m.captured(3).toDouble();
        return t;
    }
    if (const auto m = like.match(text); m.hasMatch()) {
        t.kind = RowFilter::Term::Like;
        t.field = m.captured(1);
        const QString pattern = m.captured(2).replace(QLatin1String("''"), QLatin1String("'"));
        t.anchoredStart = !pattern.startsWith(QLatin1Char('%'));
        t.anchoredEnd = !pattern.endsWith(QLatin1Char('%'));
        for (const QString& p : pattern.split(QLatin1Char('%'), Qt::SkipEmptyParts)) t.pieces << p;
        return t;
    }
    badFilter(text);
}

} // namespace

RowFilter RowFilter::parse(const QString& expression)
{
    RowFilter f;
    // "and" joins at most two comparisons; a like pattern is never split inside its quotes.
    static const QRegularExpression andSplit(QStringLiteral(R"(\s+and\s+(?=(?:[^']*'[^']*')*[^']*$))"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (const QString& part : expression.split(andSplit)) f.m_terms << parseTerm(part);
    if (f.m_terms.isEmpty()) badFilter(expression);
    return f;
}

RowFilter RowFilter::like(const QString& field, const QString& text, bool contains)
{
    RowFilter f;
    Term t;
    t.kind = Term::Like;
    t.field = field;
    t.anchoredStart = !contains;
    t.anchoredEnd = false;
    if (!text.isEmpty()) t.pieces << text;
    f.m_terms << t;
    return f;
}

bool RowFilter::likeMatches(const Term& term, const QString& value)
{
    if (term.pieces.isEmpty())
        return !(term.anchoredStart && term.anchoredEnd) || value.isEmpty();
    qsizetype pos = 0;
    for (int i = 0; i < term.pieces.size(); ++i) {
        const QString& piece = term.pieces.at(i);
        const bool last = i == term.pieces.size() - 1;
        if (i == 0 && term.anchoredStart) {
            if (!value.startsWith(piece, Qt::CaseInsensitive)) return false;
            pos = piece.size();
        } else if (last && term.anchoredEnd) {
            if (value.size() - piece.size() < pos || !value.endsWith(piece, Qt::CaseInsensitive)) return false;
            pos = value.size();
        } else {
            const qsizetype at = value.indexOf(piece, pos, Qt::CaseInsensitive);
            if (at < 0) return false;
            pos = at + piece.size();
        }
        if (last && term.anchoredEnd && pos != value.size()) return false;
    }
    return true;
}

bool RowFilter::matches(const std::function<QVariant(const QString& field)>& fieldValue) const
{
    for (const Term& t : m_terms) {
        const QVariant v = fieldValue(t.field);
        switch (t.kind) {
        case Term::Equal:
            if (v.isNull() || Dataset::toDouble(v) != t.number) return false;
            break;
        case Term::NotEqual:
            if (v.isNull() || Dataset::toDouble(v) == t.number) return false;
            break;
        case Term::Like:
            if (v.isNull() || !likeMatches(t, Dataset::toText(v))) return false;
            break;
        }
    }
    return true;
}
