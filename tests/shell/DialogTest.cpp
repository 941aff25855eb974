#include "ShellTesting.h"

#include "QtTranslation.h"
#include "support/TestPaths.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <set>
#include <string>

namespace shelltest {
namespace {

using testsupport::TempDir;

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class OrderDialog : public ::testing::Test {
protected:
    OrderDialog() {
        std::filesystem::create_directories(m_data);
        std::filesystem::create_directories(m_other);
        testsupport::writeFile(m_data / "Bestilling.xlsx", "");
        testsupport::writeFile(m_data / "Notat.txt", "");
        testsupport::writeFile(m_other / "Ordre 17.xlsx", "");
    }
    TempDir m_dir;
    std::filesystem::path m_data = m_dir / "Data";
    std::filesystem::path m_other = m_dir / "Andre";
    QWidget m_owner;
    shell::OrderFileDialog m_dialog{&m_owner};
};

TEST_F(OrderDialog, Settings) {
    EXPECT_EQ(m_dialog.parentWidget(), &m_owner);
    EXPECT_EQ(m_dialog.windowTitle(), "Velg bestillingsfil");
    EXPECT_EQ(m_dialog.nameFilters(), (QStringList{"Excel-filer (*.xls*)", "Alle filer (*)"}));
    EXPECT_EQ(m_dialog.selectedNameFilter(), "Excel-filer");
    EXPECT_TRUE(m_dialog.testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_EQ(m_dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(m_dialog.fileMode(), QFileDialog::AnyFile);
    EXPECT_TRUE(m_dialog.isSizeGripEnabled());
    EXPECT_FALSE(m_dialog.testOption(QFileDialog::ReadOnly));
    EXPECT_NE(m_dialog.windowModality(), Qt::NonModal);
}

TEST_F(OrderDialog, StartsInTheFolderAndProposesThePreviousChoiceUntilAnotherIsMade) {
    Answers answers;
    const QString first = path(m_other / "Ordre 17.xlsx");
    answers.dialogAnswers.push_back([&](shell::OrderFileDialog& d) {
        EXPECT_EQ(d.directory().absolutePath(), path(m_data));
        return std::optional<QString>(first);
    });
    EXPECT_EQ(m_dialog.choose(path(m_data)), first);

    // The previous choice takes the dialog to its own folder; cancelling keeps it for the next time.
    for (int showing = 0; showing < 2; ++showing) {
        answers.dialogAnswers.push_back([&](shell::OrderFileDialog& d) {
            EXPECT_EQ(d.selectedFiles(), QStringList{first});
            EXPECT_EQ(d.directory().absolutePath(), path(m_other));
            return std::optional<QString>();
        });
        EXPECT_EQ(m_dialog.choose(path(m_data)), std::nullopt);
    }
    EXPECT_EQ(answers.dialogShowings, 3);
}

// Qt's own dialog, shown for real and answered by keyboard, as a user without a native dialog gets it.
TEST_F(OrderDialog, FallbackDialogIsBokmalAndAcceptsATypedNameThatDoesNotExist) {
    QStringList labels;
    QStringList filters;
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog";
            QApplication::activeModalWidget()->close();
            return;
        }
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            labels << dialog->findChild<QLabel*>(name)->text();
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        labels << buttons->button(QDialogButtonBox::Open)->text()
               << buttons->button(QDialogButtonBox::Cancel)->text();
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        for (int i = 0; i < types->count(); ++i)
            filters << types->itemText(i);
        // The file list fills in the background.
        auto* list = dialog->findChild<QListView*>("listView");
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) > 0; }, 5000));
        QTest::qWait(100);
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
            listed << list->model()->index(row, 0, list->rootIndex()).data().toString();
        dialog->grab().save(QStringLiteral(TULVERKAN_SCREENSHOTS "/tulverkan-order-dialog.png"));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText(QStringLiteral("Finnes ikke.xlsx"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(m_dialog.choose(path(m_data)), path(m_data / "Finnes ikke.xlsx"));
    EXPECT_EQ(labels, (QStringList{"Søk i:", "Fil&navn:", "Filtype:", "&Åpne", "Avbryt"}));
    // The entries without their patterns, which still filter.
    EXPECT_EQ(filters, (QStringList{"Excel-filer", "Alle filer"}));
    EXPECT_EQ(listed, QStringList{"Bestilling.xlsx"});
}

// Return while the completion list of the typed name shows: the dialog takes the name and closes, and
// takes its list with it rather than leaving it over the desktop.
TEST_F(OrderDialog, ReturnWhileTheCompletionListShowsLeavesNoListBehind) {
    QWidget* shownList = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* list = dialog->findChild<QListView*>("listView");
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) > 0; }, 5000));
        QTest::keyClicks(name, QStringLiteral("Bestil"));
        if (QTest::qWaitFor([&] { return name->completer() && name->completer()->popup()->isVisible(); },
                            5000))
            shownList = name->completer()->popup();
        QTest::keyClicks(name, QStringLiteral("ling.xlsx"));
        QTest::keyClick(name, Qt::Key_Return);
        // Should the dialog still show, a second Return gets the test out of it.
        QTimer::singleShot(500, name, [name] {
            if (name->isVisible()) QTest::keyClick(name, Qt::Key_Return);
        });
    });
    EXPECT_EQ(m_dialog.choose(path(m_data)), path(m_data / "Bestilling.xlsx"));
    ASSERT_NE(shownList, nullptr) << "the completion list never showed";
    QTest::qWait(50);
    EXPECT_FALSE(shownList->isVisible());
    EXPECT_FALSE(m_dialog.isVisible());
}

// Asks our translation for every text Qt looks up while the dialog and a message box show, and
// records what it lacks.
class MissingTexts : public QTranslator {
public:
    explicit MissingTexts(const QTranslator& ours) : m_ours(ours) {}
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        // Key names only make up shortcut texts, which read the same in Norwegian.
        if (qstrcmp(context, "QShortcut") != 0 &&
            m_ours.translate(context, source, disambiguation, n).isEmpty())
            missing.insert(std::string(context) + ": " + source);
        return {};
    }
    bool isEmpty() const override { return false; }
    mutable std::set<std::string> missing;

private:
    const QTranslator& m_ours;
};

TEST_F(OrderDialog, OurTranslationHasEveryTextTheDialogAsksFor) {
    QTranslator ours;
    ASSERT_TRUE(shell::installQtTranslation(ours, QLocale(QLocale::NorwegianBokmal, QLocale::Norway)));
    MissingTexts recorder(ours);
    QCoreApplication::installTranslator(&recorder);
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        // The detail view and the context menu ask for further texts.
        dialog->findChild<QAbstractButton*>("detailModeButton")->click();
        QTest::qWait(200);
        dialog->close();
    });
    m_dialog.choose(path(m_data));
    QLineEdit edit;
    delete edit.createStandardContextMenu();
    QCoreApplication::removeTranslator(&recorder);
    QCoreApplication::removeTranslator(&ours);
    EXPECT_EQ(recorder.missing, std::set<std::string>{});
}

TEST(QtTranslation, LoadedForBokmalOnly) {
    for (const char* name : {"nb_NO", "no_NO", "nb"}) {
        QTranslator translator;
        EXPECT_TRUE(shell::installQtTranslation(translator, QLocale(QString::fromLatin1(name)))) << name;
        EXPECT_EQ(translator.translate("QPlatformTheme", "Cancel"), "Avbryt") << name;
        QCoreApplication::removeTranslator(&translator);
    }
    for (const char* name : {"nn_NO", "en_US", "sv_SE", "C"}) {
        QTranslator translator;
        EXPECT_FALSE(shell::installQtTranslation(translator, QLocale(QString::fromLatin1(name)))) << name;
    }
}

} // namespace
} // namespace shelltest
