#include "tests/support/scripted_prompts.h"

#include <QTest>

void ScriptedPrompts::error(const QString& text, const QString& title) { m_said << Said{Said::Error, text, title}; }

bool ScriptedPrompts::question(const QString& text, const QString& title)
{
    m_said << Said{Said::Question, text, title};
    if (m_answers.isEmpty()) {
        m_unexpected = true;
        QTest::qFail(qPrintable(QStringLiteral("a question nobody expected: ") + text), __FILE__, __LINE__);
        return false;
    }
    return m_answers.takeFirst();
}

void ScriptedPrompts::information(const QString& text, const QString& title)
{
    m_said << Said{Said::Information, text, title};
}

const QList<ScriptedPrompts::Said>& ScriptedPrompts::said() const
{
    m_seen = m_said.size();
    return m_said;
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const Said& s : said()) out << s.text;
    return out;
}

QStringList ScriptedPrompts::unseenErrors() const
{
    QStringList out;
    for (qsizetype i = m_seen; i < m_said.size(); ++i)
        if (m_said.at(i).kind == Said::Error) out << m_said.at(i).text;
    return out;
}
