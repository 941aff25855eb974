// An inventory that someone else has open is refused when the run opens it, before the walk shows a
// single warning and before its journal is read, and nothing is saved; opened only to be read, it is not
// refused.

#include "BookingHarness.h"

#include "sheets/Error.h"
#include "xlsx/XlsxWorkbook.h"

#include <functional>
#include <memory>

namespace stocktest {
namespace {

namespace fs = std::filesystem;

TEST(LockedInventory, IsRefusedBeforeTheFirstWarning) {
    struct Holder {
        std::string who;
        // Holds the inventory the way `who` does, until what it returns goes.
        std::function<std::unique_ptr<sheets::Workbook>(const fs::path&)> hold;
        std::string refusal;
    };
    const std::vector<Holder> holders{
        {"LibreOffice",
         [](const fs::path& inventory) {
             testsupport::writeFile(inventory.parent_path() / ".~lock.Tulverkan.xlsx#",
                                    ",ola,lager-pc,01.02.2026 08:15,file:///home/ola/.config/libreoffice/4;");
             return nullptr;
         },
         "arbeidsboken er åpen i et annet program (låsefilen «.~lock.Tulverkan.xlsx#» finnes); lukk den der "
         "først og prøv igjen"},
        {"Excel",
         [](const fs::path& inventory) {
             testsupport::writeFile(inventory.parent_path() / "~$Tulverkan.xlsx", "ola");
             return nullptr;
         },
         "arbeidsboken er åpen i et annet program (låsefilen «~$Tulverkan.xlsx» finnes)"},
        {"another run",
         [](const fs::path& inventory) { return xlsx::openWorkbook(inventory, sheets::OpenMode::ReadWrite); },
         "arbeidsboken brukes av en annen Tulverkan-kjøring (prosess "},
    };
    for (const auto& holder : holders) {
        SCOPED_TRACE(holder.who);
        testsupport::TempDir dir;
        const auto cases = testsupport::fixture("stock/cases/warnings");
        const auto inventory = dir.copy(cases / "inventory.xlsx", "Tulverkan.xlsx");
        const auto order = dir.copy(cases / "order.xlsx", "Bestilling.xlsx");
        const auto before = testsupport::readFile(inventory);
        const auto held = holder.hold(inventory);

        RecordingUi ui;
        ui.inventoryPaths = {inventory.string()};
        ui.orderFile = order.string();
        stock::UpdateOptions options;
        options.defaultDir = dir.path().string() + "/";
        xlsx::Opener opener;
        testsupport::MemoryJournal journal;
        std::string refusal;
        try {
            stock::runUpdate(ui, opener, journal, options);
        } catch (const sheets::LockedError& error) {
            refusal = error.what();
        }
        EXPECT_EQ(refusal.rfind("Kan ikke åpne «" + inventory.string() + "»: " + holder.refusal, 0), 0u)
            << refusal;
        EXPECT_EQ(ui.messages, std::vector<Message>{});
        EXPECT_EQ(ui.events, (std::vector<std::string>{"path", "choose " + options.defaultDir + "Data",
                                                       "busy", "path", "idle", "show " + order.string()}));
        EXPECT_EQ(testsupport::readFile(inventory), before);
        // The journal is the holder's until the run holds the inventory.
        EXPECT_EQ(journal.reads, 0);
        EXPECT_EQ(journal.appends, 0);
        // Reading takes no hold and is refused by none: orders are opened so.
        EXPECT_EQ(xlsx::openWorkbook(inventory, sheets::OpenMode::ReadOnly)->sheetCount(), 4);
    }
}

} // namespace
} // namespace stocktest
