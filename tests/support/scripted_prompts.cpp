#include "tests/support/scripted_prompts.h"

void ScriptedPrompts::error(const QString& text, const QString& title) { m_said << Said{Said::Error, text, title}; }

bool ScriptedPrompts::question(const QString& text, const QString& title)
{
    m_said << Said{Said::Question, text, title};
    if (m_answers.isEmpty()) {
        m_unexpected = true;
        return false;
    }
    return m_answers.takeFirst();
}

void ScriptedPrompts::information(const QString& text, const QString& title)
{
    m_said << Said{Said::Information, text, title};
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const Said& s : m_said) out << s.text;
    return out;
}
