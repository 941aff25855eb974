#include "parts/TablePart.h"

#include "sheets/Error.h"

#include <gtest/gtest.h>

namespace {

const char* const kTable = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<x:table xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" id="3" name="Table3"
 displayName="Lager_HEA" ref="B2:D9" totalsRowCount="1"><x:autoFilter ref="B2:D8"/><x:tableColumns count="3">
<x:tableColumn id="1" name="Vare"/><x:tableColumn id="2" name="Antall [stk]"/><x:tableColumn id="3" name="Pris &amp; rabatt"/>
</x:tableColumns></x:table>)";

TEST(TablePart, NameAreaRowsAndColumnsAsFormulasNeedThem) {
    auto table = xlsx::readTablePart(kTable, xlsx::Place("bok.xlsx"));
    EXPECT_EQ(table.name, "Lager_HEA"); // the display name, which formulas write
    EXPECT_EQ(table.top, 2u);
    EXPECT_EQ(table.left, 2u);
    EXPECT_EQ(table.bottom, 9u);
    EXPECT_EQ(table.right, 4u);
    EXPECT_EQ(table.headerRows, 1u);
    EXPECT_EQ(table.totalsRows, 1u);
    EXPECT_EQ(table.columns, (std::vector<std::string>{"Vare", "Antall [stk]", "Pris & rabatt"}));
}

TEST(TablePart, AnAreaThatDoesNotFitItsColumnsIsRefusedNamingThePart) {
    std::string wide = kTable;
    wide.replace(wide.find("B2:D9"), 5, "B2:E9");
    auto place = xlsx::Place("bok.xlsx").withPart("xl/tables/table3.xml");
    try {
        xlsx::readTablePart(wide, place);
        FAIL() << "read";
    } catch (const sheets::Error& error) {
        EXPECT_NE(std::string(error.what()).find("xl/tables/table3.xml"), std::string::npos) << error.what();
    }
    std::string headless = kTable;
    headless.replace(headless.find("totalsRowCount=\"1\""), 18, "headerRowCount=\"2\"");
    EXPECT_THROW(xlsx::readTablePart(headless, place), sheets::Error);
    std::string column = kTable;
    column.replace(column.find("B2:D9"), 5, "B:D");
    EXPECT_THROW(xlsx::readTablePart(column, place), sheets::Error);
}

} // namespace
