#pragma once
#include "data/db_error.h"
#include "data/prompts.h"

#include <exception>
#include <utility>

/// Runs a handler; an error it raises ends the handler and is shown in the error box with the
/// database's own text, and the window goes on.
template <typename F>
void runGuarded(Prompts& prompts, F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const DbError& e) {
        prompts.error(e.text());
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    }
}

/// A slot that runs the handler guarded, for connect().
template <typename F>
auto guarded(Prompts& prompts, F handler)
{
    return [&prompts, handler = std::move(handler)](auto&&...) { runGuarded(prompts, handler); };
}
