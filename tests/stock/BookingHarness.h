#pragma once

// Runs the update against in-memory workbooks: an order workbook and an inventory workbook whose
// file exists on disk (the run checks that), a user interface that records what it was asked.

#include "sheets/CellText.h"
#include "stock/UpdateRun.h"
#include "support/FakeWorkbook.h"
#include "support/MemoryJournal.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace stocktest {

using testsupport::FakeSheet;
using testsupport::FakeValue;

struct Message {
    std::string text;
    std::string caption;
    stock::MessageFlags flags = stock::MessageFlags::ErrorIcon;
    bool operator==(const Message&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << '[' << m.caption << ' ' << static_cast<int>(m.flags) << "] " << m.text;
}

class RecordingUi : public stock::UserInterface {
public:
    // Answers to inventoryPath(), in turn; the last one repeats.
    std::vector<std::string> inventoryPaths;
    std::optional<std::string> orderFile;

    // Answers to ask(), in turn; Ja when none is left.
    std::deque<stock::Answer> answers;

    std::vector<std::string> events;
    std::vector<Message> messages;
    std::vector<stock::Question> questions;
    bool busy = false;

    std::string inventoryPath() override {
        events.push_back("path");
        auto index = std::min(m_pathReads++, inventoryPaths.size() - 1);
        return inventoryPaths.at(index);
    }
    std::optional<std::string> chooseOrderFile(const std::string& initialFolder) override {
        events.push_back("choose " + initialFolder);
        return orderFile;
    }
    void showMessage(const std::string& text, const std::string& caption,
                     stock::MessageFlags flags) override {
        events.push_back("message " + caption);
        messages.push_back({text, caption, flags});
    }
    stock::Answer ask(const stock::Question& question) override {
        events.push_back("ask " + question.caption);
        questions.push_back(question);
        if (answers.empty()) return stock::Answer::Yes;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void setBusyCursor(bool on) override {
        events.push_back(on ? "busy" : "idle");
        busy = on;
    }
    void showWorkbooks(const std::filesystem::path& order,
                       const std::optional<std::filesystem::path>& inventory) override {
        // Appended piece by piece: GCC 12 reports a false overlap (-Wrestrict) for " " + string.
        std::string event = "show ";
        event += order.string();
        if (inventory) {
            event += ' ';
            event += inventory->string();
        }
        events.push_back(std::move(event));
    }

private:
    std::size_t m_pathReads = 0;
};

inline Message warning(std::string text) {
    return {std::move(text), "Feil", stock::MessageFlags::WarningIcon};
}

// Columns 2..9, 11 and the booking mark in 14, as the order workbook has them.
struct OrderRow {
    FakeValue Produkt, Grade, H, B, T, Overflate, Meter, A, Prosjekt;
    FakeValue mark = "x";
};

inline void putOrderLine(FakeSheet& sheet, int row, const OrderRow& o) {
    sheet.row(row, {"", o.Produkt, o.Grade, o.H, o.B, o.T, o.Overflate, o.Meter, o.A, "", o.Prosjekt, "", "",
                    o.mark});
}

// A stock line in the columns of a sheet with Dim dimensions.
struct StockRow {
    FakeValue Produkt, Grade, H, B, T, Overflate, Meter, Antall, Prosjekt, Note;
};

inline void putStockLine(FakeSheet& sheet, int row, int Dim, const StockRow& s) {
    sheet.put(row, 1, s.Produkt).put(row, 2, s.Grade).put(row, 3, s.H);
    if (Dim >= 2) sheet.put(row, 4, s.B);
    if (Dim == 3) sheet.put(row, 5, s.T);
    sheet.put(row, Dim + 3, s.Overflate).put(row, Dim + 5, s.Meter).put(row, Dim + 6, s.Antall);
    sheet.put(row, Dim + 10, s.Prosjekt).put(row, Dim + 15, s.Note);
}

// A stock sheet whose header marks the surface column Dim + 3.
inline FakeSheet& addStockSheet(testsupport::FakeWorkbook& book, std::string name, int Dim) {
    auto& sheet = book.addSheet(std::move(name));
    sheet.put(1, 1, "Produkt").put(1, 2, "Grade").put(1, 3, "H");
    if (Dim >= 2) sheet.put(1, 4, "B");
    if (Dim == 3) sheet.put(1, 5, "T");
    sheet.put(1, Dim + 3, "overflate").put(1, Dim + 5, "Lengde").put(1, Dim + 6, "Antall");
    sheet.put(1, Dim + 10, "Prosjekt").put(1, Dim + 15, "Merknad");
    return sheet;
}

// The cell as the booking reads it, under a Norwegian locale.
inline std::string at(const sheets::Worksheet& sheet, int row, int column) {
    return sheets::cellText(sheet.cell(row, column), sheets::TextFormat{});
}

class BookingTest : public ::testing::Test {
public:
    BookingTest() {
        testsupport::writeFile(inventoryPath, "");
        opener.add(inventory);
        opener.add(order);
        ui.inventoryPaths = {inventoryPath.string()};
        ui.orderFile = order.path().string();
        options.defaultDir = "/opt/tulverkan/";
    }

    stock::UpdateResult run() { return stock::runUpdate(ui, opener, journal, options); }

    // Public: table-driven tests arrange a case through functions outside the class.
    testsupport::TempDir dir;
    std::filesystem::path inventoryPath = dir / "Tulverkan.xlsx";
    testsupport::FakeWorkbook inventory{inventoryPath};
    testsupport::FakeWorkbook order{"/bestillinger/ordre.xlsx"};
    FakeSheet& orderSheet = order.addSheet("Bestilling");
    testsupport::FakeWorkbookOpener opener;
    testsupport::MemoryJournal journal;
    RecordingUi ui;
    stock::UpdateOptions options;
};

} // namespace stocktest
