#include "data/statement.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QSqlError>

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

} // namespace

void Statement::setText(const QString& text)
{
    // A new text is a new statement: values given for the old one must not run with it.
    m_values.clear();
    parse(text);
}

void Statement::appendLine(const QString& line)
{
    parse(m_text.isEmpty() ? line : m_text + QLatin1Char('\n') + line);
}

BindableText bindableText(const QString& text)
{
    BindableText out;
    QString& bindable = out.text;
    bindable.reserve(text.size());
    QString& positional = out.positional;
    positional.reserve(text.size());
    const int n = text.size();
    for (int i = 0; i < n;) {
        const QChar c = text.at(i);
        // String literals, quoted identifiers and comments carry no parameters.
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int j = i + 1;
            while (j < n) {
                if (text.at(j) == c) {
                    if (j + 1 < n && text.at(j + 1) == c) { j += 2; continue; }
                    break;
                }
                ++j;
            }
            j = qMin(j + 1, n);
            bindable += QStringView(text).mid(i, j - i);
            positional += QStringView(text).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && text.at(i + 1) == QLatin1Char('-')) {
            int j = text.indexOf(QLatin1Char('\n'), i);
            if (j < 0) j = n;
            bindable += QLatin1Char(' '); // the driver would take a :word in a comment for a parameter
            positional += QLatin1Char(' ');
            i = j;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text.at(i + 1) == QLatin1Char('*')) {
            int j = text.indexOf(QLatin1String("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            bindable += QLatin1Char(' ');
            positional += QLatin1Char(' ');
            i = j;
            continue;
        }
        if (c == QLatin1Char(':')) {
            if (i + 1 < n && text.at(i + 1) == QLatin1Char(':')) { // a cast
                bindable += QLatin1String("::");
                positional += QLatin1String("::");
                i += 2;
                continue;
            }
            if (i + 1 < n && isNameStart(text.at(i + 1))) {
                int j = i + 1;
                while (j < n && isNameChar(text.at(j))) ++j;
                const QString name = text.mid(i + 1, j - i - 1).toLower();
                if (!out.names.contains(name)) out.names << name;
                bindable += QLatin1Char(':') + name;
                positional += QLatin1Char('$') + QString::number(out.names.indexOf(name) + 1);
                i = j;
                continue;
            }
        }
        bindable += c;
        positional += c;
        ++i;
    }
    return out;
}

void Statement::parse(const QString& text)
{
    m_text = text;
    BindableText parsed = bindableText(text);
    m_bindable = std::move(parsed.text);
    m_names = std::move(parsed.names);
}

bool Statement::hasParameter(const QString& name) const { return m_names.contains(name.toLower()); }

void Statement::setParam(const QString& name, const QVariant& value)
{
    const QString key = name.toLower();
    if (!m_names.contains(key))
        throw DbError(QStringLiteral("Параметр %1 не найден в тексте запроса").arg(name));
    m_values.insert(key, value);
}

void Statement::setParams(const Params& params)
{
    for (const auto& [name, value] : params) setParam(name, value);
}

QVariant Statement::param(const QString& name) const { return m_values.value(name.toLower()); }

QSqlQuery Statement::exec(const QSqlDatabase& db, bool forwardOnly) const
{
    ensureConnected(db);
    QSqlQuery q(db);
    q.setForwardOnly(forwardOnly);
    // Exact digits of numeric columns: amounts are shown and summed without binary rounding.
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (m_names.isEmpty()) {
        if (!q.exec(m_bindable)) throwDatabaseError(db, q.lastError());
        return q;
    }
    if (!q.prepare(m_bindable)) throwDatabaseError(db, q.lastError());
    for (const QString& name : m_names) {
        const auto it = m_values.constFind(name);
        if (it == m_values.cend())
            throw DbError(QStringLiteral("Параметру %1 не задано значение").arg(name));
        q.bindValue(QLatin1Char(':') + name, it.value());
    }
    if (!q.exec()) throwDatabaseError(db, q.lastError());
    return q;
}

void execSql(const QSqlDatabase& db, const QString& text, const Params& params)
{
    Statement s(text);
    s.setParams(params);
    s.exec(db);
}
