#include "ShellTesting.h"

#include "ErrorDisplay.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>

namespace shelltest {
namespace {

using stock::MessageFlags;

TEST(MessageBoxes, ModalOwnedWithOneOkAndTheIconOfTheirFlags) {
    QWidget owner;
    Answers answers;
    shell::MessageBox::show(&owner, "/lager/<Tulverkan>.xlsx", "Finner ikke lagerfilen",
                            MessageFlags::ErrorIcon);
    shell::MessageBox::show(&owner, "Ark UNP ikke funnet i tulverkan!", "Feil", MessageFlags::WarningIcon);
    ASSERT_EQ(answers.boxes.size(), 2u);
    EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answers.boxes[1].icon, QMessageBox::Warning);
    for (const auto& box : answers.boxes) {
        EXPECT_EQ(box.owner, &owner);
        EXPECT_NE(box.modality, Qt::NonModal);
        EXPECT_EQ(box.buttons, QStringList{"OK"});
        // A path or cell text is shown as it is, never as markup.
        EXPECT_EQ(box.textFormat, Qt::PlainText);
    }
    EXPECT_EQ(answers.boxes[0].caption, "Finner ikke lagerfilen");
    EXPECT_EQ(answers.boxes[0].text, "/lager/<Tulverkan>.xlsx");
}

TEST(MessageBoxes, ArrowOverABoxShownWhileBusyAndTheWaitCursorBackAfterwards) {
    QWidget owner;
    Answers answers;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shell::MessageBox::show(&owner, "Ark UNP ikke funnet i tulverkan!", "Feil", MessageFlags::WarningIcon);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_TRUE(answers.boxes[0].arrowCursor);
}

TEST(MessageBoxes, RealBoxWaitsForOk) {
    QWidget owner;
    owner.show();
    bool sawBox = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box";
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
            return;
        }
        sawBox = box->isVisible() && box->text() == "Tekst";
        box->button(QMessageBox::Ok)->click();
    });
    shell::MessageBox::show(&owner, "Tekst", "Tittel", MessageFlags::ErrorIcon);
    EXPECT_TRUE(sawBox);
}

TEST(ErrorDisplay, FailureOfAHandlerIsShownWithTheFullStopRule) {
    QWidget owner;
    Answers answers;
    shell::runHandler(&owner,
                      [] { throw std::runtime_error("Kan ikke åpne «/a/Ordre.xlsx»: filen finnes ikke"); });
    shell::runHandler(&owner, [] { throw std::runtime_error("Stopp!"); });
    shell::runHandler(&owner, [] {});
    ASSERT_EQ(answers.boxes.size(), 2u);
    EXPECT_EQ(answers.boxes[0].text, "Kan ikke åpne «/a/Ordre.xlsx»: filen finnes ikke.");
    EXPECT_EQ(answers.boxes[1].text, "Stopp!");
    for (const auto& box : answers.boxes) {
        EXPECT_EQ(box.caption, "Tulverkan");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.buttons, QStringList{"OK"});
        EXPECT_EQ(box.owner, &owner);
    }
}

} // namespace
} // namespace shelltest
