#include "ShellTesting.h"

#include "support/Python.h"
#include "support/TestPaths.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sstream>

namespace shelltest {
namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

QString path(const fs::path& p) {
    return QString::fromStdString(p.string());
}

// The update button on a real booking case: the inventory typed into the path box, the order chosen
// in the dialog, what the run shows answered in the user's place.
class WindowRun : public ::testing::Test {
protected:
    explicit WindowRun(const char* name = "warnings") {
        const fs::path folder = testsupport::fixture("stock/cases") / name;
        m_case = folder;
        m_inventory = m_dir.copy(folder / "inventory.xlsx", "Tulverkan.xlsx");
        m_order = m_dir.copy(folder / "order.xlsx", "Bestilling.xlsx");
        form.Filnavn->setText(path(m_inventory));
        form.show();
    }

    void clickUpdate() { QTest::mouseClick(form.OppdaterTulverkanButton, Qt::LeftButton); }

    // messages.txt of a case: one "caption<TAB>flags<TAB>text" line per message.
    std::vector<std::string> expectedBoxes() const {
        std::vector<std::string> lines;
        std::istringstream in(readFile(m_case / "messages.txt"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::vector<std::string> shownBoxes() const {
        std::vector<std::string> lines;
        for (const auto& box : answers.boxes)
            lines.push_back(box.caption.toStdString() + "\t" +
                            (box.icon == QMessageBox::Warning ? "0x30" : "0x10") + "\t" +
                            box.text.toStdString());
        return lines;
    }

    testsupport::TempDir m_dir;
    fs::path m_case;
    fs::path m_inventory;
    fs::path m_order;
    Answers answers;
    shell::TForm1 form;
};

TEST_F(WindowRun, UpdateButtonBooksTheChosenOrderAndShowsBothWorkbooks) {
    const std::string orderBytes = readFile(m_order);
    answers.choose(path(m_order));
    clickUpdate();
    EXPECT_EQ(answers.dialogShowings, 1);
    EXPECT_EQ(shownBoxes(), expectedBoxes());
    for (const auto& box : answers.boxes)
        EXPECT_EQ(box.owner, &form);
    EXPECT_EQ(testsupport::openpyxlDump(m_inventory), readFile(m_case / "expected.txt"));
    EXPECT_EQ(readFile(m_order), orderBytes);
    EXPECT_EQ(answers.desktop.opened, (QStringList{path(m_order), path(m_inventory)}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowRun, MissingInventoryIsAnErrorBoxAndNothingElse) {
    const fs::path missing = m_dir / "Borte" / "Tulverkan.xlsx";
    form.Filnavn->setText(path(missing));
    clickUpdate();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].caption, "Finner ikke lagerfilen");
    EXPECT_EQ(answers.boxes[0].text, path(missing));
    EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answers.dialogShowings, 0);
    EXPECT_TRUE(answers.desktop.opened.isEmpty());
}

TEST_F(WindowRun, CancelledDialogDoesNothing) {
    const std::string before = readFile(m_inventory);
    answers.cancel();
    clickUpdate();
    EXPECT_EQ(answers.dialogShowings, 1);
    EXPECT_TRUE(answers.boxes.empty());
    EXPECT_TRUE(answers.desktop.opened.isEmpty());
    EXPECT_EQ(readFile(m_inventory), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A failure ends the run in the error display; the window stays and the next run works.
TEST_F(WindowRun, OrderThatCannotBeOpenedGoesToTheErrorDisplay) {
    const std::string before = readFile(m_inventory);
    const fs::path typed = m_dir / "Skrivefeil.xlsx";
    answers.choose(path(typed));
    clickUpdate();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].caption, "Tulverkan");
    EXPECT_EQ(answers.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(answers.boxes[0].text.startsWith("Kan ikke åpne «" + path(typed) + "»"))
        << answers.boxes[0].text;
    EXPECT_TRUE(answers.boxes[0].text.endsWith(".")) << answers.boxes[0].text;
    EXPECT_TRUE(answers.desktop.opened.isEmpty());
    EXPECT_EQ(readFile(m_inventory), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form.isVisible());

    answers.boxes.clear();
    answers.choose(path(m_order));
    clickUpdate();
    EXPECT_EQ(shownBoxes(), expectedBoxes());
    EXPECT_EQ(answers.desktop.opened, (QStringList{path(m_order), path(m_inventory)}));
}

TEST_F(WindowRun, FailureAfterTheOrderOpenedShowsTheOrderOnly) {
    testsupport::writeFile(m_inventory, "dette er ingen arbeidsbok");
    answers.choose(path(m_order));
    clickUpdate();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].caption, "Tulverkan");
    EXPECT_TRUE(answers.boxes[0].text.contains(path(m_inventory))) << answers.boxes[0].text;
    EXPECT_EQ(answers.desktop.opened, QStringList{path(m_order)});
    EXPECT_EQ(readFile(m_inventory), "dette er ingen arbeidsbok");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The same order a second time: the window asks once, with the question icon, Ja, Nei and Avbryt and
// Nei the default, and does what the answer says.
class WindowRunAgain : public WindowRun {
protected:
    WindowRunAgain() : WindowRun("book-and-create") {}
};

TEST_F(WindowRunAgain, TheSecondBookingAsksAndEachAnswerDoesWhatItSays) {
    answers.choose(path(m_order));
    clickUpdate();
    ASSERT_TRUE(answers.boxes.empty());
    const std::string once = readFile(m_inventory);
    const std::string journalOnce = readFile(m_dir / "Tulverkan-logg.csv");

    answers.desktop.opened.clear();
    answers.choose(path(m_order));
    answers.questionAnswers = {QMessageBox::Cancel};
    clickUpdate();
    ASSERT_EQ(answers.boxes.size(), 1u);
    const auto& box = answers.boxes[0];
    EXPECT_EQ(box.caption, "Tulverkan");
    EXPECT_EQ(box.icon, QMessageBox::Question);
    QStringList buttons = box.buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"&Ja", "&Nei", "Avbryt"}));
    EXPECT_EQ(box.defaultButton, "&Nei");
    EXPECT_EQ(box.owner, &form);
    EXPECT_EQ(box.textFormat, Qt::PlainText);
    const QStringList lines = box.text.split('\n');
    ASSERT_EQ(lines.size(), 5) << box.text;
    EXPECT_TRUE(lines[0].startsWith("5 av 5 merkede linjer i «Bestilling.xlsx» er bokført i denne lagerfilen "
                                    "før, sist "))
        << lines[0];
    EXPECT_EQ(lines.mid(1),
              (QStringList{"", "Ja: bokfør alle 5 linjene på nytt", "Nei: bokfør ingen av dem på nytt",
                           "Avbryt: bokfør ingenting og lagre ingenting"}));
    EXPECT_EQ(readFile(m_inventory), once) << "Avbryt saves nothing";
    EXPECT_EQ(readFile(m_dir / "Tulverkan-logg.csv"), journalOnce);
    EXPECT_TRUE(answers.desktop.opened.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    answers.boxes.clear();
    answers.choose(path(m_order));
    answers.questionAnswers = {QMessageBox::No};
    clickUpdate();
    EXPECT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(testsupport::openpyxlDump(m_inventory), readFile(m_case / "expected.txt"))
        << "Nei books nothing";

    answers.boxes.clear();
    answers.choose(path(m_order));
    answers.questionAnswers = {QMessageBox::Yes};
    clickUpdate();
    EXPECT_EQ(answers.boxes.size(), 1u);
    // Ja books every line again: the line that had 17 after the first booking gets its 5 once more.
    EXPECT_NE(("\n" + testsupport::openpyxlDump(m_inventory)).find("\nHEA!H6:n:22.0\n"), std::string::npos);
}

} // namespace
} // namespace shelltest
