#pragma once
#include <QWidget>
#include <functional>

/// Drives a modal window that the code under test opens with exec(): once a modal widget
/// (other than one already open) is active, the action runs on it; if none appears within the
/// deadline the test fails. Call before the action that opens the window.
void whenModal(std::function<void(QWidget*)> action, int deadlineMs = 5000);

/// Fails the current test when a top-level window other than the given ones is still visible.
bool noWindowsLeftOpen(const QList<QWidget*>& allowed = {});
