#include "OrderFileDialog.h"

#include <QAbstractItemView>
#include <QCompleter>

#include <utility>

namespace shell {

namespace {

OrderFileDialog::Answer& nextAnswer() {
    static OrderFileDialog::Answer answer;
    return answer;
}

} // namespace

OrderFileDialog::OrderFileDialog(QWidget* owner) : QFileDialog(owner) {
    setObjectName(QStringLiteral("ExcelOpenDialog"));
    setWindowTitle(QStringLiteral("Velg bestillingsfil"));
    setAcceptMode(QFileDialog::AcceptOpen);
    // AnyFile: a typed name that does not exist is accepted rather than refused by the dialog.
    setFileMode(QFileDialog::AnyFile);
    // The entries read "Excel-filer" and "Alle filer"; the patterns still filter.
    setNameFilters({QStringLiteral("Excel-filer (*.xls*)"), QStringLiteral("Alle filer (*)")});
    setOption(QFileDialog::HideNameFilterDetails);
    selectNameFilter(nameFilters().constFirst());
    setSizeGripEnabled(true);
    setWindowModality(Qt::WindowModal);
}

std::optional<QString> OrderFileDialog::choose(const QString& initialFolder) {
    setDirectory(initialFolder);
    // A full path takes the dialog to its own folder, as the previous choice should.
    if (!m_previous.isEmpty()) selectFile(m_previous);

    std::optional<QString> chosen;
    if (nextAnswer())
        chosen = nextAnswer()(*this);
    else if (exec() == QDialog::Accepted && !selectedFiles().isEmpty())
        chosen = selectedFiles().constFirst();
    if (chosen) m_previous = *chosen;
    return chosen;
}

void OrderFileDialog::done(int result) {
    QFileDialog::done(result);
    // Return pressed while the file name's completion list shows closes the dialog before the list:
    // the dialog is only hidden, and its list would stay on screen over the desktop, holding the
    // pointer, until the next click anywhere.
    for (auto* completer : findChildren<QCompleter*>())
        if (QWidget* list = completer->popup(); list && list->isVisible()) list->hide();
}

void OrderFileDialog::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

} // namespace shell
