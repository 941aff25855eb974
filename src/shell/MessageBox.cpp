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

// Shows the box modal to its owner and waits, or hands it to the test's answer.
void present(QMessageBox& box) {
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

} // namespace

void MessageBox::show(QWidget* owner, const QString& text, const QString& caption,
                      stock::MessageFlags flags) {
    QMessageBox box(iconOf(flags), caption, text, QMessageBox::Ok, owner);
    present(box);
}

QMessageBox::StandardButton MessageBox::ask(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
    // Enter on the box books nothing twice.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::Cancel);
    present(box);
    return box.clickedButton() ? box.standardButton(box.clickedButton()) : QMessageBox::Cancel;
}

void MessageBox::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

} // namespace shell
