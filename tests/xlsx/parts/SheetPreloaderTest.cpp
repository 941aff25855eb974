#include "parts/SheetPreloader.h"

#include "parts/SharedStrings.h"
#include "parts/Styles.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using testsupport::errorOf;
using xlsx::SheetPreloader;
using xlsx::WorksheetPart;

// Sheet n holds n in A1; a broken sheet has its rows out of order, which the reader refuses.
std::string sheetXml(std::size_t n, bool broken = false) {
    std::string rows = "<row r=\"1\"><c r=\"A1\"><v>" + std::to_string(n) + "</v></c></row>";
    if (broken) rows = "<row r=\"2\"/>" + rows;
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
           rows + "</sheetData></worksheet>";
}

// Real parses of small sheets, counted per sheet; sheet 0's waits until released.
struct Parses {
    xlsx::SharedStrings strings;
    xlsx::Styles styles;
    std::vector<std::atomic<int>> count;
    std::atomic<bool> firstEntered{false};
    std::atomic<bool> firstReleased{true};

    explicit Parses(std::size_t sheets) : count(sheets) {}

    std::unique_ptr<WorksheetPart> operator()(std::size_t sheet, bool broken = false) {
        ++count[sheet];
        if (sheet == 0) {
            firstEntered = true;
            firstEntered.notify_all();
            firstReleased.wait(false);
        }
        return std::make_unique<WorksheetPart>(sheetXml(sheet, broken), xlsx::Place{"bok.xlsx"}, strings,
                                               styles, false);
    }
    int total() const {
        return std::accumulate(count.begin(), count.end(), 0, [](int sum, const auto& n) { return sum + n; });
    }
};

std::vector<std::size_t> firstSheets(std::size_t n) {
    std::vector<std::size_t> sheets(n);
    std::iota(sheets.begin(), sheets.end(), std::size_t{0});
    return sheets;
}

// Whoever gets to a sheet first parses it: the owner's claim keeps the worker off it, and the worker's
// part (waited for while it parses) is the one the owner gets.
TEST(SheetPreloader, EverySheetIsParsedOnceWhoeverGetsToItFirst) {
    constexpr std::size_t kSheets = 200;
    Parses parses(kSheets);
    parses.firstReleased = false;
    std::vector<int> byOwner(kSheets, 0);
    {
        SheetPreloader preloader(firstSheets(kSheets), [&](std::size_t sheet) { return parses(sheet); });
        parses.firstEntered.wait(false);
        // The worker is held on sheet 0: the last sheet is the owner's, and the worker leaves it.
        EXPECT_EQ(preloader.take(kSheets - 1), nullptr);
        std::jthread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let the owner wait on sheet 0
            parses.firstReleased = true;
            parses.firstReleased.notify_all();
        });
        auto first = preloader.take(0);
        ASSERT_NE(first, nullptr) << "the sheet the worker was on is waited for";
        EXPECT_EQ(first->cell(xlsx::CellRef::at(1, 1).value()).number, 0);
        // From the end, towards the worker, so that the two meet somewhere on the way.
        for (std::size_t sheet = kSheets - 1; sheet-- > 1;) {
            auto part = preloader.take(sheet);
            if (!part) {
                ++byOwner[sheet];
                part = parses(sheet);
            }
            EXPECT_EQ(part->cell(xlsx::CellRef::at(1, 1).value()).number, static_cast<double>(sheet));
            EXPECT_EQ(preloader.take(sheet), nullptr) << "a sheet is taken once";
        }
        EXPECT_EQ(preloader.take(kSheets), nullptr) << "a sheet it was not given";
    }
    for (std::size_t sheet = 0; sheet + 1 < kSheets; ++sheet)
        EXPECT_EQ(parses.count[sheet], 1)
            << sheet << (byOwner[sheet] ? " (by the owner)" : " (by the worker)");
    EXPECT_EQ(parses.count[kSheets - 1], 0) << "claimed and never parsed by the worker";
}

// A failure is met by whoever takes the sheet, as the parse threw it, and by nobody else.
TEST(SheetPreloader, AFailureReachesOnlyWhoTakesTheSheet) {
    Parses parses(4);
    auto brokenOnes = [&](std::size_t sheet) { return parses(sheet, sheet == 1 || sheet == 3); };
    const auto expected = errorOf([&] { brokenOnes(1); });
    ASSERT_NE(expected, "");
    {
        SheetPreloader preloader(firstSheets(4), brokenOnes);
        while (parses.total() < 5) // every sheet, and sheet 1 once more above
            std::this_thread::yield();
        EXPECT_EQ(errorOf([&] { preloader.take(1); }), expected);
        EXPECT_EQ(preloader.take(1), nullptr) << "met once; parsed again by the caller";
        EXPECT_NE(preloader.take(2), nullptr);
    } // sheet 3's failure goes with the preloader
    EXPECT_EQ(parses.count[3], 1);
}

// The preloader stops its worker before anything it reads goes: here the parses' state, destroyed
// right after it (the sanitizers see a worker that outlives it).
TEST(SheetPreloader, DestroyedWhileTheWorkerParses) {
    auto parses = std::make_unique<Parses>(50);
    parses->firstReleased = false;
    auto preloader = std::make_unique<SheetPreloader>(
        firstSheets(50), [p = parses.get()](std::size_t sheet) { return (*p)(sheet); });
    parses->firstEntered.wait(false);
    std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let the destructor wait
        parses->firstReleased = true;
        parses->firstReleased.notify_all();
    });
    preloader.reset();
    EXPECT_EQ(parses->total(), 1) << "stopped after the sheet it was on";
    release.join();
    parses.reset();
}

} // namespace
