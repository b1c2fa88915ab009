#pragma once
#include <QString>

/// How the program speaks to the user in message boxes: errors, questions and notices.
/// Windows and the data module's few messages go through it; the application shows real
/// boxes, tests put a scripted double in its place that records what was said.
class Prompts {
public:
    virtual ~Prompts() = default;
    /// An error box (error icon, OK).
    virtual void error(const QString& text, const QString& title = QStringLiteral("Ошибка")) = 0;
    /// A question box (question icon, Yes and No); true for Yes.
    virtual bool question(const QString& text, const QString& title) = 0;
    /// A notice box (information icon, OK).
    virtual void information(const QString& text, const QString& title) = 0;
};
