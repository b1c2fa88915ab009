#pragma once
#include "data/prompts.h"

class QWidget;

/// Real message boxes with Russian buttons, centred over the active window.
class MessageBoxPrompts : public Prompts {
public:
    void error(const QString& text, const QString& title = QStringLiteral("Ошибка")) override;
    bool question(const QString& text, const QString& title) override;
    void information(const QString& text, const QString& title) override;
};
