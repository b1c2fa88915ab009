#pragma once
#include "data/prompts.h"

#include <QList>
#include <QStringList>

/// A Prompts double for tests: records every message and answers questions from a queue.
/// A question with no queued answer fails the test (recorded as unexpected, answered No).
class ScriptedPrompts : public Prompts {
public:
    struct Said {
        enum Kind { Error, Question, Information } kind;
        QString text;
        QString title;
    };

    void error(const QString& text, const QString& title = QStringLiteral("Ошибка")) override;
    bool question(const QString& text, const QString& title) override;
    void information(const QString& text, const QString& title) override;

    /// Queues the answer to the next question.
    void answer(bool yes) { m_answers << yes; }
    const QList<Said>& said() const { return m_said; }
    /// Texts of everything said, in order.
    QStringList texts() const;
    bool unexpectedQuestion() const { return m_unexpected; }
    void clear() { m_said.clear(); m_answers.clear(); m_unexpected = false; }

private:
    QList<Said> m_said;
    QList<bool> m_answers;
    bool m_unexpected = false;
};
