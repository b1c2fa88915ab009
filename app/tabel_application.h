#pragma once
#include <QApplication>

class Prompts;

/// The application object: Russian texts and formats, and the last line of defence that shows
/// an error escaping an event handler in the error box and lets the client go on.
class TabelApplication : public QApplication {
public:
    TabelApplication(int& argc, char** argv);
    void setPrompts(Prompts* prompts) { m_prompts = prompts; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts* m_prompts = nullptr;
};
