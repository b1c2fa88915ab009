#pragma once
#include "data/prompts.h"

#include <QList>
#include <QStringList>

/// A Prompts double for tests: records every message and answers questions from a queue.
/// A question with no queued answer fails the test at once (it is recorded and answered No).
/// An error the test never looked at (through said(), texts() or clear()) is unexpected:
/// check nothingUnexpected() when a test ends.
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
    /// Everything said, in order; what is read here counts as expected.
    const QList<Said>& said() const;
    /// Texts of everything said, in order; what is read here counts as expected.
    QStringList texts() const;
    bool unexpectedQuestion() const { return m_unexpected; }
    /// Errors said since the test last looked.
    QStringList unseenErrors() const;
    /// No question went unanswered and no error went unnoticed; a failure names them.
    bool nothingUnexpected() const { return !m_unexpected && unseenErrors().isEmpty(); }
    void clear() { m_said.clear(); m_answers.clear(); m_unexpected = false; m_seen = 0; }

private:
    QList<Said> m_said;
    QList<bool> m_answers;
    bool m_unexpected = false;
    mutable qsizetype m_seen = 0;   // entries of m_said the test has looked at
};
