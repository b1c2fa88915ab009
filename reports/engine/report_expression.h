#pragma once
#include "data/formats.h"
#include "data/money.h"

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

class ReportData;

/// A layout that cannot be printed: a malformed expression, an unknown field or mask.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

/// A value met while an expression is evaluated. Null is an empty field: it prints empty and
/// counts as 0 (or "") in arithmetic. Missing is a value that does not exist (a field with no
/// row to read it from, a division by zero): it prints empty and makes every result missing.
/// Numbers are exact decimals: sums of amounts add kopecks, not binary fractions, and a quotient
/// (an amount without its coefficient, a price per hour) keeps 18 decimals until its mask
/// rounds it once.
struct ReportValue {
    enum class Kind { Missing, Null, Number, Text };
    Kind kind = Kind::Missing;
    Money number;
    QString text;

    static ReportValue missing() { return {}; }
    static ReportValue null() { return {Kind::Null, {}, {}}; }
    static ReportValue of(const Money& n) { return {Kind::Number, n, {}}; }
    static ReportValue of(const QString& t) { return {Kind::Text, {}, t}; }

    bool isMissing() const { return kind == Kind::Missing; }
    /// The value as a number: Null 0, text by its digits (0 when it has none).
    Money toNumber() const;
    /// The value as printed without a mask: numbers in the general format, Null and Missing empty.
    QString toText() const;
};

/// A display mask of a layout (see formats::Mask); a mask it does not understand is a ReportError.
class DisplayMask : public formats::Mask {
public:
    DisplayMask() = default;
    explicit DisplayMask(const QString& mask);
};

/// Numbers as the reports show them without a mask: up to 15 significant digits, the
/// workstation's decimal separator, no thousands separator.
QString generalNumber(double value);
QString generalNumber(const Money& value);

/// Where an expression reads its fields and its running sums.
struct EvalContext {
    const ReportData* data = nullptr;
    int row = -1;                       ///< -1: no row, every field is missing
    const std::vector<Money>* sums = nullptr;
};

/// An expression of a report layout: field names (optionally after the query's name and a
/// point), numbers, 'quoted' strings, + − * / on numbers, + on strings, = <> > < >= <=,
/// IF(condition, a, b), STR(number) and the running sum SUM(expression). Letter case of names
/// and functions does not matter.
class ReportExpression {
public:
    ReportExpression() = default;
    /// Parses the text; throws ReportError on a syntax error.
    explicit ReportExpression(const QString& text);

    const QString& text() const { return m_text; }
    bool isEmpty() const { return m_nodes.empty(); }

    /// Resolves the field names against the data and numbers the running sums from
    /// nextSumSlot on (which it advances); throws ReportError for an unknown field or a
    /// prefix that names another query.
    void bind(const ReportData& data, int& nextSumSlot);
    ReportValue evaluate(const EvalContext& context) const;

    /// Adds this expression's running sums' arguments, evaluated on the context's row.
    void accumulate(const EvalContext& context, std::vector<Money>& sums) const;
    /// The slots of this expression's running sums.
    std::vector<int> sumSlots() const;
    /// The fields it reads, as written without the query's name.
    QStringList fieldNames() const;

private:
    struct Node {
        enum Op { Number, Text, Field, Neg, Add, Sub, Mul, Div, Eq, Ne, Gt, Lt, Ge, Le, If, Str, Sum };
        Op op = Number;
        int a = -1, b = -1, c = -1;
        Money number;
        QString text;      // text literal, or the field's name as written
        int column = -1;   // field: bound column; sum: slot
    };
    struct Parser;
    ReportValue eval(int node, const EvalContext& context) const;

    QString m_text;
    std::vector<Node> m_nodes;
    int m_root = -1;
};
