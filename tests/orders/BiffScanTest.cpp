#include "BiffScan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Kind = sheets::CellValue::Kind;

std::string u16(unsigned value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}

std::string u32(std::uint32_t value) {
    return u16(value & 0xFFFF) + u16(value >> 16);
}

std::string record(unsigned type, const std::string& body) {
    return u16(type) + u16(static_cast<unsigned>(body.size())) + body;
}

std::string bof(unsigned kind) {
    return record(0x0809, u16(0x0600) + u16(kind) + std::string(12, '\0'));
}

std::string eof() {
    return record(0x000A, "");
}

// A text shared by index, as BIFF8 keeps them: count, flags, characters.
std::string narrowText(const std::string& latin1) {
    return u16(static_cast<unsigned>(latin1.size())) + '\0' + latin1;
}

std::string labelSst(unsigned row, unsigned column, std::uint32_t index) {
    return record(0x00FD, u16(row) + u16(column) + u16(0) + u32(index));
}

// A BIFF8 stream of one worksheet "Ark1": `globals` after its sheet list, `cells` in the sheet. The
// sheet's offset is given or, by default, where its BOF is.
std::string workbook(const std::string& globals, const std::string& cells, std::uint32_t offset = ~0u) {
    auto head = [&](std::uint32_t at) {
        return bof(0x0005) + record(0x0085, u32(at) + std::string(2, '\0') + u16(4) + "Ark1") + globals +
               eof();
    };
    const auto at = offset != ~0u ? offset : static_cast<std::uint32_t>(head(0).size());
    return head(at) + bof(0x0010) + cells + eof();
}

std::string sst(std::uint32_t unique, const std::string& texts) {
    return record(0x00FC, u32(unique) + u32(unique) + texts);
}

// Malformed streams, each read to a clear end with only as much memory as its bytes: counts and
// lengths are checked against the bytes there are.
TEST(BiffScan, HostileCountsAndLengthsEndInDamageNotInACrash) {
    struct Case {
        const char* what;
        std::string stream;
        std::size_t texts;
        const char* damage; // a part of it; "" for none
    };
    const std::string cut = workbook(sst(1, narrowText("A")), labelSst(0, 0, 0));
    const std::vector<Case> cases = {
        {"four billion texts declared, one there",
         workbook(sst(0xFFFFFFFF, narrowText("A")), labelSst(0, 0, 5)), 1,
         "viser til en tekst som ikke finnes"},
        {"a text of 65,535 characters with three there",
         workbook(sst(1, u16(0xFFFF) + '\0' + "abc"), labelSst(0, 0, 0)), 0,
         "viser til en tekst som ikke finnes"},
        {"a phonetic block of 4 GB",
         workbook(sst(2, u16(1) + '\x04' + u32(0xFFFFFFFF) + "A" + narrowText("B")), labelSst(0, 0, 0)), 1,
         ""},
        {"formatting runs past the end", workbook(sst(1, u16(1) + '\x08' + u16(0xFFFF) + "A"), ""), 1, ""},
        {"a wide character cut in two at a record's end",
         workbook(sst(1, u16(2) + '\x01' + "A") + record(0x003C, std::string("\x01\x42\x00", 3)), ""), 0, ""},
        {"a cell record running past the stream's end", cut.substr(0, cut.size() - 6), 1,
         "slutter for tidlig"},
        {"a chart opened in the sheet and never closed", workbook("", bof(0x0020) + labelSst(0, 0, 0)), 0,
         "slutter for tidlig"},
        {"a sheet name longer than its record",
         bof(0x0005) + record(0x0085, u32(0) + std::string(2, '\0') + u16(200) + "Ark") + eof(), 0,
         "slutter for tidlig"},
        {"no sheets", bof(0x0005) + eof(), 0, "ingen ark"},
    };
    for (const auto& c : cases) {
        const auto book = orders::scanBiff(c.stream);
        EXPECT_EQ(book.version, 8) << c.what;
        EXPECT_EQ(book.texts.size(), c.texts) << c.what;
        if (*c.damage)
            EXPECT_NE(book.damage.find(c.damage), std::string::npos) << c.what << ": " << book.damage;
        else
            EXPECT_EQ(book.damage, "") << c.what;
    }
}

// Characters go on in the next record after a width flag, which may change the width; formatting runs
// and the phonetic block go on without one; the table of bucket offsets after the texts is no text.
TEST(BiffScan, SharedTextsOverContinueRecords) {
    const std::string phonetic = u16(1) + u16(10) + std::string(10, '\0');
    const std::string texts =
        sst(4, u16(6) + '\0' + "Bl\xE5") +
        record(0x003C, std::string("\x01", 1) + u16(0xE6) + u16(0x0159) + u16('!')) +
        record(0x003C, u16(3) + '\x09' + u16(2) + u16(0x20AC) + u16('4') + u16('2') + u16(0) + u16(0)) +
        record(0x003C, u16(0) + u16(1) + u16(3) + '\x04' + u32(static_cast<std::uint32_t>(phonetic.size())) +
                           "\xD8\xF8"
                           "A" +
                           phonetic.substr(0, 5)) +
        record(0x003C, phonetic.substr(5) + narrowText("")) + record(0x00FF, u16(8) + std::string(8, '\x7F'));
    const auto book = orders::scanBiff(
        workbook(texts, labelSst(0, 0, 0) + labelSst(0, 1, 1) + labelSst(0, 2, 2) + labelSst(0, 3, 3)));
    ASSERT_EQ(book.damage, "");
    ASSERT_EQ(book.texts, (std::vector<std::string>{"Blåæř!", "€42", "ØøA", ""}));
    ASSERT_EQ(book.sheets.size(), 1u);
    const auto& cells = book.sheets[0].cells;
    ASSERT_EQ(cells.size(), 3u); // the empty text is an empty cell
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(cells[i].value.kind, Kind::Text);
        EXPECT_EQ(cells[i].text, i);
    }
}

// A writer that got the sheet offsets wrong still wrote the sheets in their order.
TEST(BiffScan, SheetsInTheirOrderWhenTheOffsetsAreWrong) {
    const auto book = orders::scanBiff(workbook(sst(1, narrowText("HEA")), labelSst(9, 1, 0), 12345));
    ASSERT_EQ(book.damage, "");
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, "Ark1");
    ASSERT_EQ(book.sheets[0].cells.size(), 1u);
    EXPECT_EQ(book.sheets[0].cells[0].row, 10);
    EXPECT_EQ(book.sheets[0].cells[0].column, 2);
}

} // namespace
