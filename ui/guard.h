#pragma once
#include "data/connection.h"
#include "data/db_error.h"
#include "data/prompts.h"

#include <QApplication>
#include <QScopeGuard>
#include <exception>
#include <utility>

/// The text an error box shows for an error: its own, never an empty box.
inline QString errorBoxText(const QString& text)
{
    return text.trimmed().isEmpty() ? QStringLiteral("Действие не выполнено: произошла ошибка без описания.") : text;
}

/// Shows an error that ended a handler, with its own text (the database's, for a DbError).
inline void showError(Prompts& prompts, const std::exception& e)
{
    const auto* db = dynamic_cast<const DbError*>(&e);
    prompts.error(errorBoxText(db ? errorText(*db) : QString::fromLocal8Bit(e.what())));
}

/// Runs a handler; an error it raises ends the handler and is shown in the error box with the
/// database's own text, and the window goes on.
template <typename F>
void runGuarded(Prompts& prompts, F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        showError(prompts, e);
    }
}

/// A slot that runs the handler guarded, for connect().
template <typename F>
auto guarded(Prompts& prompts, F handler)
{
    return [&prompts, handler = std::move(handler)](auto&&...) { runGuarded(prompts, handler); };
}

/// The hourglass until the returned guard leaves its scope, an exception on the way included.
[[nodiscard]] inline auto waitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return qScopeGuard([] { QApplication::restoreOverrideCursor(); });
}
