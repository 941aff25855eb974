#pragma once

// The run's message boxes and the error display: modal, owned by the window, one OK button.

#include "stock/UserInterface.h"

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace shell {

class MessageBox {
public:
    // Shows `text` with `caption` and the icon of `flags`, and waits for OK.
    static void show(QWidget* owner, const QString& text, const QString& caption, stock::MessageFlags flags);
    // Asks `text` with the question icon and the buttons Ja, Nei and Avbryt, Nei the default; returns
    // the button pressed, Cancel when the box was closed otherwise.
    static QMessageBox::StandardButton ask(QWidget* owner, const QString& text, const QString& caption);

    // For offscreen tests: while set, each box is handed to `answer` ready to be shown, instead of to the
    // user, which answers a question by clicking one of its buttons. An empty function puts the user
    // back.
    using Answer = std::function<void(QMessageBox&)>;
    static void setNextAnswer(Answer answer);
};

} // namespace shell
