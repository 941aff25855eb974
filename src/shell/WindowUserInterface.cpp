#include "WindowUserInterface.h"

#include "MessageBox.h"
#include "OrderFileDialog.h"
#include "PathText.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

namespace shell {

namespace {

void openWithDesktop(const std::filesystem::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(fromPath(path.string())));
}

} // namespace

WindowUserInterface::~WindowUserInterface() {
    // The run restores the cursor itself; this only guards against a cursor left behind for good.
    if (m_busy) QApplication::restoreOverrideCursor();
}

std::string WindowUserInterface::inventoryPath() {
    return toPath(m_form.Filnavn->text());
}

std::optional<std::string> WindowUserInterface::chooseOrderFile(const std::string& initialFolder) {
    auto chosen = m_form.ExcelOpenDialog->choose(fromPath(initialFolder));
    if (!chosen) return std::nullopt;
    return toPath(*chosen);
}

void WindowUserInterface::showMessage(const std::string& text, const std::string& caption,
                                      stock::MessageFlags flags) {
    MessageBox::show(&m_form, QString::fromStdString(text), QString::fromStdString(caption), flags);
}

stock::Answer WindowUserInterface::ask(const stock::Question& question) {
    const std::string text =
        question.text + "\n\nJa: " + question.yes + "\nNei: " + question.no + "\nAvbryt: " + question.cancel;
    switch (
        MessageBox::ask(&m_form, QString::fromStdString(text), QString::fromStdString(question.caption))) {
    case QMessageBox::Yes:
        return stock::Answer::Yes;
    case QMessageBox::No:
        return stock::Answer::No;
    default:
        return stock::Answer::Cancel;
    }
}

void WindowUserInterface::setBusyCursor(bool busy) {
    if (busy == m_busy) return;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    m_busy = busy;
}

void WindowUserInterface::showWorkbooks(const std::filesystem::path& order,
                                        const std::optional<std::filesystem::path>& inventory) {
    openWithDesktop(order);
    if (inventory) openWithDesktop(*inventory);
}

} // namespace shell
