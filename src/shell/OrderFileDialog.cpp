#include "OrderFileDialog.h"

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
    setNameFilters({QStringLiteral("Excel-filer (*.xls*)"), QStringLiteral("Alle filer (*)")});
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

void OrderFileDialog::setNextAnswer(Answer answer) {
    nextAnswer() = std::move(answer);
}

} // namespace shell
