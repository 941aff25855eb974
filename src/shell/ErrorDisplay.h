#pragma once

// The top-level error display: a failure that escapes a handler of the window is shown to the user
// and the program goes on.

#include <exception>
#include <string>

class QWidget;

namespace shell {

// An error box owned by `owner`, captioned with the application title, the message with the full stop
// rule of frontend::errorText.
void showError(QWidget* owner, const std::string& message);

// Runs `handler`; a failure it throws goes to showError.
template <class Handler> void runHandler(QWidget* owner, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(owner, e.what());
    }
}

} // namespace shell
