#include "ShellTesting.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>

namespace shelltest {

DesktopRecorder::DesktopRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

DesktopRecorder::~DesktopRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void DesktopRecorder::open(const QUrl& url) {
    opened << url.toLocalFile();
}

Answers::Answers() {
    shell::MessageBox::setNextAnswer([this](QMessageBox& box) {
        ShownBox shown;
        shown.caption = box.windowTitle();
        shown.text = box.text();
        shown.icon = box.icon();
        for (auto* button : box.buttons())
            shown.buttons << button->text();
        if (box.defaultButton()) shown.defaultButton = box.defaultButton()->text();
        shown.textFormat = box.textFormat();
        shown.modality = box.windowModality();
        shown.owner = box.parentWidget();
        const QCursor* cursor = QApplication::overrideCursor();
        shown.arrowCursor = cursor && cursor->shape() == Qt::ArrowCursor;
        boxes.push_back(shown);
        if (box.buttons().size() > 1) {
            if (questionAnswers.empty()) {
                ADD_FAILURE() << "a question showed with no answer prepared: " << shown.text;
                return;
            }
            box.button(questionAnswers.front())->click();
            questionAnswers.pop_front();
        }
    });
    shell::OrderFileDialog::setNextAnswer([this](shell::OrderFileDialog& dialog) -> std::optional<QString> {
        ++dialogShowings;
        if (dialogAnswers.empty()) {
            ADD_FAILURE() << "the order dialog showed with no answer prepared";
            return std::nullopt;
        }
        auto answer = std::move(dialogAnswers.front());
        dialogAnswers.pop_front();
        return answer(dialog);
    });
}

Answers::~Answers() {
    shell::MessageBox::setNextAnswer({});
    shell::OrderFileDialog::setNextAnswer({});
}

} // namespace shelltest
