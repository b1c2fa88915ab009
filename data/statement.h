#pragma once
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

/// Parameter values by name, as callers write them: {{"w_id", 5}, {"data", date}}.
using Params = QList<std::pair<QString, QVariant>>;

/// An SQL text as the driver is to bind it: every placeholder (:name, any letter case) in lower
/// case, comments blanked out, string literals, quoted names and casts
/// (::type) left alone; and the names of its placeholders, each once, in order of first use.
/// The one reading of placeholders for every statement the program runs.
struct BindableText {
    QString text;
    QStringList names;
    QString positional;   ///< the same with each placeholder as $N, N its name's place in names
};
BindableText bindableText(const QString& text);

/// An SQL text with named parameters (:name), bound by name regardless of letter case.
/// Every value travels as a bound parameter; nothing is spliced into the text.
class Statement {
public:
    Statement() = default;
    explicit Statement(const QString& text) { setText(text); }

    /// Replaces the text; the values given for the previous text are dropped.
    void setText(const QString& text);
    /// Adds a line to the text (joined by a line break); values already given are kept.
    void appendLine(const QString& line);
    const QString& text() const { return m_text; }
    /// The parameters the text names, in lower case, each once, in order of first use.
    const QStringList& parameterNames() const { return m_names; }
    bool hasParameter(const QString& name) const;

    /// Sets a parameter by name, ignoring case; throws DbError when the text has no such parameter.
    void setParam(const QString& name, const QVariant& value);
    void setParams(const Params& params);
    QVariant param(const QString& name) const;
    /// Whether the parameter (any letter case) was given a value, NULL included.
    bool isSet(const QString& name) const { return m_values.contains(name.toLower()); }
    void clearParams() { m_values.clear(); }

    /// Prepares and executes on the connection; throws DbError with the server's text on refusal,
    /// and when a parameter of the text was given no value. A connection lost earlier is opened
    /// again first; one lost now is said as such (see throwDatabaseError).
    QSqlQuery exec(const QSqlDatabase& db, bool forwardOnly = true) const;

private:
    void parse(const QString& text);

    QString m_text;       // as written
    QString m_bindable;   // with every placeholder in lower case, as the driver binds them
    QStringList m_names;
    QHash<QString, QVariant> m_values;
};

/// Runs a statement with parameters and throws DbError on refusal; the result is released.
void execSql(const QSqlDatabase& db, const QString& text, const Params& params = {});
