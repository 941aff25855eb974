#include "ShellTesting.h"

#include "frontend/DefaultDir.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>

#include <filesystem>

namespace shelltest {
namespace {

class Form : public ::testing::Test {
protected:
    Form() {
        form.show();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    // The design's rectangle at the screen's dpi.
    QRect designed(int left, int top, int width, int height) const {
        const double x = form.logicalDpiX() / 96.0;
        const double y = form.logicalDpiY() / 96.0;
        return {qRound(left * x), qRound(top * y), qRound(width * x), qRound(height * y)};
    }

    Answers answers;
    shell::TForm1 form;
};

TEST_F(Form, ComponentsInTheirPlacesWithTheirTexts) {
    EXPECT_EQ(form.windowTitle(), "Ajourhold av tulverkan");
    EXPECT_EQ(form.Label1->text(), "Tulverkanfil:");
    EXPECT_EQ(form.OppdaterTulverkanButton->text(), "Oppdater tulverkan");
    EXPECT_EQ(form.Avslutt->text(), "Avslutt");

    const QRect client = designed(0, 0, 418, 94);
    EXPECT_EQ(form.size(), client.size());
    const std::pair<QWidget*, QRect> table[] = {{form.Label1, designed(8, 19, 58, 13)},
                                                {form.Filnavn, designed(71, 16, 329, 21)},
                                                {form.OppdaterTulverkanButton, designed(8, 56, 177, 25)},
                                                {form.Avslutt, designed(223, 56, 177, 25)}};
    const bool tahoma = QFontInfo(form.font()).family() == "Tahoma";
    for (auto [widget, place] : table) {
        EXPECT_EQ(widget->pos(), place.topLeft()) << widget->objectName();
        // A face may make a widget larger, never smaller; the design's own face by a rounding at most.
        EXPECT_EQ(widget->size(), widget->size().expandedTo(place.size())) << widget->objectName();
        if (tahoma) {
            EXPECT_LE(widget->width() - place.width(), 1) << widget->objectName();
            EXPECT_LE(widget->height() - place.height(), 1) << widget->objectName();
        }
    }
}

TEST_F(Form, FixedSizeWindowCentredWithItsBoxes) {
    EXPECT_EQ(form.minimumSize(), form.size());
    EXPECT_EQ(form.maximumSize(), form.size());
    const Qt::WindowFlags flags = form.windowFlags();
    for (auto flag : {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                      Qt::WindowCloseButtonHint, Qt::WindowTitleHint})
        EXPECT_TRUE(flags.testFlag(flag)) << flag;
    const QRect area = form.screen()->availableGeometry();
    EXPECT_LE((form.frameGeometry().center() - area.center()).manhattanLength(), 2)
        << form.frameGeometry().x() << "," << form.frameGeometry().y() << " " << form.frameGeometry().width()
        << "x" << form.frameGeometry().height() << " in " << area.x() << "," << area.y() << " "
        << area.width() << "x" << area.height() << " geometry " << form.geometry().x() << ","
        << form.geometry().y();
}

TEST_F(Form, ButtonFaceBackgroundAndTahomaOf11Pixels) {
    EXPECT_TRUE(form.autoFillBackground());
    EXPECT_EQ(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));
    const QFontInfo face(form.Label1->font());
    EXPECT_EQ(face.pixelSize(), qRound(11 * form.logicalDpiY() / 96.0));
    if (std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(face.family(), "Tahoma");
    }
}

// Selected as the window opens, so that typing replaces the proposal.
TEST_F(Form, PathBoxProposesTheInventoryBelowTheProgramFolderSelected) {
    EXPECT_EQ(form.Filnavn->text().toStdString(), frontend::DefaultDir() + "Data/Tulverkan.xlsx");
    EXPECT_EQ(QApplication::focusWidget(), form.Filnavn);
    EXPECT_EQ(form.Filnavn->selectedText(), form.Filnavn->text());
    QTest::keyClicks(form.Filnavn, QStringLiteral("/lager/Tulverkan.xlsx"));
    EXPECT_EQ(form.Filnavn->text(), "/lager/Tulverkan.xlsx");
}

// Whether every text shows whole: labels and buttons by their contents, the path box by its height.
void expectNoTextClipped(const shell::TForm1& form, const char* face) {
    SCOPED_TRACE(face);
    const QFontMetrics label(form.Label1->font());
    EXPECT_LE(label.horizontalAdvance(form.Label1->text()), form.Label1->contentsRect().width());
    EXPECT_LE(label.height(), form.Label1->contentsRect().height());
    for (QPushButton* button : {form.OppdaterTulverkanButton, form.Avslutt}) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(button->text()), contents.width()) << button->objectName();
        EXPECT_LE(metrics.height(), contents.height()) << button->objectName();
    }
    EXPECT_GE(form.Filnavn->height(), form.Filnavn->minimumSizeHint().height());
    // Nothing lies under a neighbour or outside the window.
    EXPECT_LT(form.Label1->geometry().right(), form.Filnavn->geometry().left());
    EXPECT_LT(form.OppdaterTulverkanButton->geometry().right(), form.Avslutt->geometry().left());
    for (QWidget* widget :
         {static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.Filnavn),
          static_cast<QWidget*>(form.OppdaterTulverkanButton), static_cast<QWidget*>(form.Avslutt)})
        EXPECT_TRUE(form.rect().contains(widget->geometry())) << widget->objectName();
}

TEST_F(Form, NoTextClippedInTheFormFaceNorInAWiderOne) {
    expectNoTextClipped(form, "form face");
    const QPoint fieldLeft = form.Filnavn->pos();
    const QRect fieldRight = form.Filnavn->geometry();

    // Where no Tahoma is installed, the platform's sans is wider: the widgets grow, the places stay.
    form.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    expectNoTextClipped(form, "DejaVu Sans 12");
    EXPECT_EQ(form.Label1->pos(), designed(8, 19, 0, 0).topLeft());
    EXPECT_EQ(form.OppdaterTulverkanButton->pos(), designed(8, 56, 0, 0).topLeft());
    EXPECT_EQ(form.Avslutt->pos(), designed(223, 56, 0, 0).topLeft());
    EXPECT_EQ(form.Filnavn->geometry().right(), fieldRight.right());
    EXPECT_GE(form.Filnavn->x(), fieldLeft.x());
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST_F(Form, FocusStartsInThePathBoxAndTabsThroughTheDesignOrder) {
    EXPECT_EQ(QApplication::focusWidget(), form.Filnavn);
    QTest::keyClick(&form, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.OppdaterTulverkanButton);
    QTest::keyClick(&form, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.Avslutt);
    QTest::keyClick(&form, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.Filnavn);
}

// No default or cancel button: Enter in the path box and Escape anywhere do nothing, Enter on a
// focused button presses that button and no other.
TEST_F(Form, EnterPressesTheFocusedButtonOnlyAndEscapeNothing) {
    QSignalSpy update(form.OppdaterTulverkanButton, &QPushButton::clicked);
    QSignalSpy exit(form.Avslutt, &QPushButton::clicked);
    EXPECT_FALSE(form.OppdaterTulverkanButton->isDefault() || form.OppdaterTulverkanButton->autoDefault());
    EXPECT_FALSE(form.Avslutt->isDefault() || form.Avslutt->autoDefault());
    form.Filnavn->setFocus();
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(form.Filnavn, key);
    for (QPushButton* button : {form.OppdaterTulverkanButton, form.Avslutt}) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Escape);
    }
    EXPECT_EQ(update.count(), 0);
    EXPECT_EQ(exit.count(), 0);

    // The update button's run stops at once on a path that does not exist, with its one box.
    form.Filnavn->setText(QStringLiteral("/finnes/ikke/Tulverkan.xlsx"));
    form.OppdaterTulverkanButton->setFocus();
    QTest::keyClick(form.OppdaterTulverkanButton, Qt::Key_Return);
    EXPECT_EQ(update.count(), 1);
    QTest::keyClick(form.OppdaterTulverkanButton, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(update.count(), 2);
    EXPECT_EQ(answers.boxes.size(), 2u);
    EXPECT_EQ(exit.count(), 0);
    EXPECT_TRUE(form.isVisible());

    form.Avslutt->setFocus();
    QTest::keyClick(form.Avslutt, Qt::Key_Return);
    EXPECT_EQ(exit.count(), 1);
    EXPECT_EQ(update.count(), 2);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(answers.dialogShowings, 0);
}

TEST_F(Form, AvsluttClosesTheWindow) {
    QTest::mouseClick(form.Avslutt, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form, ProgramIconIsBuiltIn) {
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32).isNull());
    EXPECT_FALSE(form.windowIcon().pixmap(32).isNull());
}

// The picture of the window as the user first sees it, for a person to look at.
TEST_F(Form, Screenshot) {
    const QString file = QStringLiteral(TULVERKAN_SCREENSHOTS "/tulverkan-window.png");
    ASSERT_TRUE(form.grab().save(file));
    EXPECT_EQ(QImage(file).size(), form.size() * form.devicePixelRatio());
}

} // namespace
} // namespace shelltest
