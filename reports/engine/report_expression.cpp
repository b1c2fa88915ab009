#include "reports/engine/report_expression.h"
#include "reports/engine/report_data.h"
#include "data/dataset.h"
#include "data/formats.h"

#include <QLocale>
#include <cmath>

// ---------------------------------------------------------------- values and masks

Money ReportValue::toNumber() const
{
    switch (kind) {
    case Kind::Number: return number;
    case Kind::Text: return Money::parse(text).value_or(Money());
    default: return {};
    }
}

QString ReportValue::toText() const
{
    switch (kind) {
    case Kind::Number: return generalNumber(number);
    case Kind::Text: return text;
    default: return {};
    }
}

QString generalNumber(double value)
{
    return formats::general(value);
}

QString generalNumber(const Money& value)
{
    return formats::general(value);
}

DisplayMask::DisplayMask(const QString& mask)
{
    const auto parsed = formats::Mask::parse(mask);
    if (!parsed) throw ReportError(QStringLiteral("Неизвестная маска «%1»").arg(mask));
    static_cast<formats::Mask&>(*this) = *parsed;
}

// ---------------------------------------------------------------- parsing

struct ReportExpression::Parser {
    ReportExpression& x;
    const QString& s;
    int pos = 0;

    [[noreturn]] void fail(const QString& what) const
    {
        throw ReportError(QStringLiteral("Ошибка в выражении «%1» (позиция %2): %3").arg(s).arg(pos + 1).arg(what));
    }
    void skipSpace()
    {
        while (pos < s.size() && s.at(pos).isSpace()) ++pos;
    }
    bool accept(QLatin1StringView token)
    {
        skipSpace();
        if (s.mid(pos, token.size()) == token) {
            pos += int(token.size());
            return true;
        }
        return false;
    }
    void expect(QLatin1StringView token)
    {
        if (!accept(token)) fail(QStringLiteral("ожидается «%1»").arg(token));
    }
    int add(Node n)
    {
        x.m_nodes.push_back(std::move(n));
        return int(x.m_nodes.size()) - 1;
    }
    int binary(Node::Op op, int a, int b)
    {
        Node n;
        n.op = op;
        n.a = a;
        n.b = b;
        return add(n);
    }

    int parse()
    {
        const int root = comparison(false);
        skipSpace();
        if (pos < s.size()) fail(QStringLiteral("лишний текст «%1»").arg(s.mid(pos)));
        return root;
    }
    int comparison(bool inSum)
    {
        const int left = additive(inSum);
        static const std::pair<QLatin1StringView, Node::Op> ops[] = {
            {QLatin1StringView("<>"), Node::Ne}, {QLatin1StringView(">="), Node::Ge}, {QLatin1StringView("<="), Node::Le},
            {QLatin1StringView("="), Node::Eq},  {QLatin1StringView(">"), Node::Gt},  {QLatin1StringView("<"), Node::Lt}};
        for (const auto& [token, op] : ops)
            if (accept(token)) return binary(op, left, additive(inSum));
        return left;
    }
    int additive(bool inSum)
    {
        int left = multiplicative(inSum);
        for (;;) {
            if (accept(QLatin1StringView("+"))) left = binary(Node::Add, left, multiplicative(inSum));
            else if (accept(QLatin1StringView("-"))) left = binary(Node::Sub, left, multiplicative(inSum));
            else return left;
        }
    }
    int multiplicative(bool inSum)
    {
        int left = unary(inSum);
        for (;;) {
            if (accept(QLatin1StringView("*"))) left = binary(Node::Mul, left, unary(inSum));
            else if (accept(QLatin1StringView("/"))) left = binary(Node::Div, left, unary(inSum));
            else return left;
        }
    }
    int unary(bool inSum)
    {
        if (accept(QLatin1StringView("-"))) {
            Node n;
            n.op = Node::Neg;
            n.a = unary(inSum);
            return add(n);
        }
        return primary(inSum);
    }
    static bool nameStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
    static bool namePart(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

    int primary(bool inSum)
    {
        skipSpace();
        if (pos >= s.size()) fail(QStringLiteral("выражение обрывается"));
        const QChar c = s.at(pos);
        if (accept(QLatin1StringView("("))) {
            const int inner = comparison(inSum);
            expect(QLatin1StringView(")"));
            return inner;
        }
        if (c == QLatin1Char('\'')) {
            Node n;
            n.op = Node::Text;
            ++pos;
            for (;;) {
                if (pos >= s.size()) fail(QStringLiteral("строка не закрыта"));
                if (s.at(pos) == QLatin1Char('\'')) {
                    if (pos + 1 < s.size() && s.at(pos + 1) == QLatin1Char('\'')) {
                        n.text += QLatin1Char('\'');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                n.text += s.at(pos++);
            }
            return add(n);
        }
        if (c.isDigit() || c == QLatin1Char('.')) {
            const int start = pos;
            while (pos < s.size() && (s.at(pos).isDigit() || s.at(pos) == QLatin1Char('.'))) ++pos;
            const auto value = Money::parse(s.mid(start, pos - start));
            if (!value) fail(QStringLiteral("неверное число"));
            Node n;
            n.op = Node::Number;
            n.number = *value;
            return add(n);
        }
        if (!nameStart(c)) fail(QStringLiteral("неожиданный знак «%1»").arg(c));
        const int start = pos;
        while (pos < s.size() && (namePart(s.at(pos)) || s.at(pos) == QLatin1Char('.'))) ++pos;
        const QString name = s.mid(start, pos - start);
        skipSpace();
        if (pos < s.size() && s.at(pos) == QLatin1Char('(')) return call(name, inSum);
        Node n;
        n.op = Node::Field;
        n.text = name;
        return add(n);
    }
    int call(const QString& name, bool inSum)
    {
        expect(QLatin1StringView("("));
        const QString f = name.toUpper();
        Node n;
        if (f == QLatin1String("IF")) {
            n.op = Node::If;
            n.a = comparison(inSum);
            expect(QLatin1StringView(","));
            n.b = comparison(inSum);
            expect(QLatin1StringView(","));
            n.c = comparison(inSum);
        } else if (f == QLatin1String("STR")) {
            n.op = Node::Str;
            n.a = comparison(inSum);
        } else if (f == QLatin1String("SUM")) {
            if (inSum) fail(QStringLiteral("сумма внутри суммы"));
            n.op = Node::Sum;
            n.a = comparison(true);
        } else {
            fail(QStringLiteral("неизвестная функция «%1»").arg(name));
        }
        expect(QLatin1StringView(")"));
        return add(n);
    }
};

ReportExpression::ReportExpression(const QString& text) : m_text(text)
{
    Parser parser{*this, m_text};
    m_root = parser.parse();
}

void ReportExpression::bind(const ReportData& data, int& nextSumSlot)
{
    for (Node& n : m_nodes) {
        if (n.op == Node::Sum) {
            n.column = nextSumSlot++;
        } else if (n.op == Node::Field) {
            QString field = n.text;
            const int point = field.lastIndexOf(QLatin1Char('.'));
            if (point >= 0) {
                const QString query = field.left(point);
                if (query.compare(data.name(), Qt::CaseInsensitive) != 0)
                    throw ReportError(QStringLiteral("Выражение «%1»: поле «%2» не из запроса %3").arg(m_text, n.text, data.name()));
                field = field.mid(point + 1);
            }
            n.column = data.fieldIndex(field);
            if (n.column < 0)
                throw ReportError(QStringLiteral("Выражение «%1»: в запросе %2 нет поля «%3»").arg(m_text, data.name(), field));
        }
    }
}

// ---------------------------------------------------------------- evaluation

namespace {

ReportValue fieldValue(const EvalContext& ctx, int column)
{
    if (!ctx.data || ctx.row < 0) return ReportValue::missing();
    const QVariant v = ctx.data->value(ctx.row, column);
    if (v.isNull()) return ReportValue::null();
    if (ctx.data->isNumeric(column)) {
        if (v.userType() == QMetaType::QString) {
            const auto exact = Money::parse(v.toString());
            return exact ? ReportValue::of(*exact) : ReportValue::of(v.toString());
        }
        return ReportValue::of(Money::fromValue(v));
    }
    return ReportValue::of(Dataset::toText(v));
}

bool isTextual(const ReportValue& v) { return v.kind == ReportValue::Kind::Text; }

int compare(const ReportValue& a, const ReportValue& b)
{
    if (isTextual(a) && isTextual(b)) return a.text.compare(b.text);
    if (isTextual(a) || isTextual(b)) {
        // A number against text compares as numbers when the text is one, else as texts.
        const auto x = isTextual(a) ? Money::parse(a.text) : std::optional<Money>(a.toNumber());
        const auto y = isTextual(b) ? Money::parse(b.text) : std::optional<Money>(b.toNumber());
        if (!x || !y) return a.toText().compare(b.toText());
        return *x < *y ? -1 : (*x > *y ? 1 : 0);
    }
    const Money x = a.toNumber(), y = b.toNumber();
    return x < y ? -1 : (x > y ? 1 : 0);
}

ReportValue truth(bool b) { return ReportValue::of(Money::units(b ? 1 : 0)); }

} // namespace

ReportValue ReportExpression::evaluate(const EvalContext& context) const
{
    return m_root < 0 ? ReportValue::missing() : eval(m_root, context);
}

ReportValue ReportExpression::eval(int index, const EvalContext& ctx) const
{
    const Node& n = m_nodes[size_t(index)];
    switch (n.op) {
    case Node::Number: return ReportValue::of(n.number);
    case Node::Text: return ReportValue::of(n.text);
    case Node::Field: return fieldValue(ctx, n.column);
    case Node::Sum:
        return ctx.sums && n.column >= 0 && size_t(n.column) < ctx.sums->size() ? ReportValue::of((*ctx.sums)[size_t(n.column)])
                                                                                 : ReportValue::of(Money());
    case Node::Str: {
        const ReportValue v = eval(n.a, ctx);
        if (v.isMissing()) return v;
        return ReportValue::of(isTextual(v) ? v.text : generalNumber(v.toNumber()));
    }
    case Node::If: {
        const ReportValue c = eval(n.a, ctx);
        if (c.isMissing()) return c;
        return eval(!c.toNumber().isZero() ? n.b : n.c, ctx);
    }
    case Node::Neg: {
        const ReportValue v = eval(n.a, ctx);
        return v.isMissing() ? v : ReportValue::of(-v.toNumber());
    }
    default: break;
    }

    const ReportValue a = eval(n.a, ctx);
    const ReportValue b = eval(n.b, ctx);
    if (a.isMissing() || b.isMissing()) return ReportValue::missing();
    switch (n.op) {
    case Node::Add:
        if (isTextual(a) || isTextual(b)) return ReportValue::of(a.toText() + b.toText());
        return ReportValue::of(a.toNumber() + b.toNumber());
    case Node::Sub: return ReportValue::of(a.toNumber() - b.toNumber());
    case Node::Mul: return ReportValue::of(a.toNumber() * b.toNumber());
    case Node::Div: {
        // An amount per hour of a worker without hours has no value: the cell stays empty.
        const auto quotient = a.toNumber().divided(b.toNumber());
        return quotient ? ReportValue::of(*quotient) : ReportValue::missing();
    }
    case Node::Eq: return truth(compare(a, b) == 0);
    case Node::Ne: return truth(compare(a, b) != 0);
    case Node::Gt: return truth(compare(a, b) > 0);
    case Node::Lt: return truth(compare(a, b) < 0);
    case Node::Ge: return truth(compare(a, b) >= 0);
    case Node::Le: return truth(compare(a, b) <= 0);
    default: return ReportValue::missing();
    }
}

void ReportExpression::accumulate(const EvalContext& context, std::vector<Money>& sums) const
{
    for (const Node& n : m_nodes) {
        if (n.op != Node::Sum || n.column < 0) continue;
        const ReportValue v = eval(n.a, context);
        if (!v.isMissing()) sums[size_t(n.column)] += v.toNumber();
    }
}

std::vector<int> ReportExpression::sumSlots() const
{
    std::vector<int> out;
    for (const Node& n : m_nodes)
        if (n.op == Node::Sum) out.push_back(n.column);
    return out;
}

QStringList ReportExpression::fieldNames() const
{
    QStringList out;
    for (const Node& n : m_nodes)
        if (n.op == Node::Field) out << n.text.mid(n.text.lastIndexOf(QLatin1Char('.')) + 1);
    return out;
}
