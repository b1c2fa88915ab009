#pragma once
#include <QString>
#include <stdexcept>

/// A statement the server refused, or a misuse of the data layer. Carries the database's own
/// text; travels up to the application-wide handler, which shows it and lets the client go on.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text, const QString& sqlState = {})
        : std::runtime_error(text.toStdString()), m_text(text), m_sqlState(sqlState) {}
    const QString& text() const { return m_text; }
    /// The SQLSTATE of a server refusal ("23505" …); empty for errors of the client itself.
    const QString& sqlState() const { return m_sqlState; }

private:
    QString m_text;
    QString m_sqlState;
};
