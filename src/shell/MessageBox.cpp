#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace shell {

namespace {

MessageBox::Answer& nextAnswer() {
    static MessageBox::Answer answer;
    return answer;
}

QMessageBox::Icon iconOf(stock::MessageFlags flags) {
    switch (flags) {
    case stock::MessageFlags::ErrorIcon:
        return QMessageBox::Critical;
    case stock::MessageFlags::WarningIcon:
        return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void MessageBox::show(QWidget* owner, const QString& text, const QString& caption,
                      stock::MessageFlags flags) {
    QMessageBox box(iconOf(flags), caption, text, QMessageBox::Ok, owner);
    // Texts carry paths and cell contents: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    // The busy cursor belongs to the window; over the box the user is asked to act.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (nextAnswer())
        nextAnswer()(box);
    else
        box.exec();
    if (busy) QApplication::restoreOverrideCursor();
}

void MessageBox::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

} // namespace shell
