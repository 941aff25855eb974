#include "containers/OleReader.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using containers::CompoundContent;
using containers::OleReader;

// The same file read from its path and from an open descriptor tells the same.
TEST(OleReader, TellsWorkbooksFromOtherCompoundFiles) {
    struct Case {
        std::string fixture;
        CompoundContent content;
        const char* stream;
    };
    const Case cases[] = {
        {"package/password.xlsx", CompoundContent::EncryptedWorkbook, nullptr},
        {"package/legacy.xls", CompoundContent::LegacyWorkbook, "Workbook"},
        {"orders/excel95.xls", CompoundContent::LegacyWorkbook, "Book"},
        {"orders/password.xls", CompoundContent::LegacyWorkbook, "Workbook"}, // encrypted inside its stream
        {"orders/no-workbook.doc", CompoundContent::Other, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const auto path = testsupport::fixture(c.fixture);
        EXPECT_TRUE(containers::hasOleSignature(testsupport::readFile(path)));
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        for (const auto& ole : {OleReader::open(path), OleReader::open(fd)}) {
            ASSERT_TRUE(ole);
            EXPECT_EQ(containers::contentOf(*ole), c.content);
            const char* stream = containers::legacyWorkbookStream(*ole);
            EXPECT_EQ(stream ? std::string(stream) : "", c.stream ? std::string(c.stream) : "");
            if (stream) {
                EXPECT_GT(ole->readStream(stream)->size(), 100u);
            }
        }
        EXPECT_EQ(::close(fd), 0); // still the caller's
    }
}

TEST(OleReader, DamagedOrForeignFilesAreNoCompoundFiles) {
    testsupport::TempDir dir;
    const std::string signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    testsupport::writeFile(dir / "avkuttet.xls", signature + std::string(1024, '\0'));
    const auto whole = testsupport::readFile(testsupport::fixture("package/legacy.xls"));
    testsupport::writeFile(dir / "halv.xls", whole.substr(0, 700));
    testsupport::writeFile(dir / "tekst.xls", "Produkt;Kvalitet\n");
    for (const char* name : {"avkuttet.xls", "halv.xls", "tekst.xls"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(OleReader::open(dir / name));
        const int fd = ::open((dir / name).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_FALSE(OleReader::open(fd));
        ::close(fd);
    }
    EXPECT_FALSE(containers::hasOleSignature(signature.substr(0, 7)));
}

TEST(OleReader, LegacyCodePagesBecomeUtf8) {
    EXPECT_EQ(containers::codePageToUtf8("\x80 \xE6\xF8\xE5", 1252), "€ æøå");
    EXPECT_EQ(containers::codePageToUtf8("\x9B\x91", 865), "øæ"); // the Nordic DOS code page
    EXPECT_FALSE(containers::codePageToUtf8("x", 54321));
}

} // namespace
