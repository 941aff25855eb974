#include "containers/ZipReader.h"

#include "sheets/AsciiCase.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <deque>
#include <fcntl.h>

namespace {

using containers::ZipReader;

std::string ignoringCase(std::string_view name) {
    return sheets::toLowerAscii(name);
}

// Entries whose names differ in case alone, as a damaged or hand-made package may hold them.
std::filesystem::path twoCases(const testsupport::TempDir& dir) {
    const auto path = dir / "to.zip";
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    std::deque<std::string> data; // libzip reads the buffers at zip_close
    for (const char* name : {"Content.xml", "content.xml", "folder/"}) {
        const auto& bytes = data.emplace_back(std::string("stored as ") + name);
        zip_file_add(archive, name, zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return path;
}

TEST(ZipReader, NamesCompareAsTheFormatSays) {
    testsupport::TempDir dir;
    const auto path = twoCases(dir);
    int error = 0;
    auto asStored = ZipReader::open(path, containers::nameAsStored, error);
    ASSERT_TRUE(asStored) << error;
    EXPECT_EQ(asStored->names(), (std::vector<std::string>{"Content.xml", "content.xml", "folder/"}));
    EXPECT_EQ(asStored->read("content.xml"), "stored as content.xml");
    EXPECT_EQ(asStored->read("Content.xml"), "stored as Content.xml");
    EXPECT_FALSE(asStored->read("CONTENT.XML"));

    auto withoutCase = ZipReader::open(path, ignoringCase, error);
    ASSERT_TRUE(withoutCase);
    EXPECT_EQ(withoutCase->find("CONTENT.XML"), 0u); // the first of equal names
    EXPECT_EQ(withoutCase->read("content.xml"), "stored as Content.xml");
    EXPECT_EQ(withoutCase->declaredSize(0), std::string("stored as Content.xml").size());
}

TEST(ZipReader, WhatIsNoZipIsToldByLibzipsCode) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "tekst.zip", "Produkt;Kvalitet\n");
    int error = 0;
    EXPECT_FALSE(ZipReader::open(dir / "tekst.zip", containers::nameAsStored, error));
    EXPECT_EQ(error, ZIP_ER_NOZIP);
    EXPECT_FALSE(ZipReader::open(dir / "borte.zip", containers::nameAsStored, error));
    EXPECT_EQ(error, ZIP_ER_NOENT);

    // A descriptor handed over is closed whether the archive opens or not.
    const int fd = ::open((dir / "tekst.zip").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(ZipReader::open(fd, sheets::Place{dir / "tekst.zip"}, containers::nameAsStored, error));
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

// Failures name the file and the entry as the caller asked for it.
TEST(ZipReader, DamagedEntriesAreRefusedNamingThem) {
    const auto lying = testsupport::fixture("package/understated-size.xlsx");
    int error = 0;
    auto zip = ZipReader::open(lying, containers::nameAsStored, error);
    ASSERT_TRUE(zip);
    const auto message =
        testsupport::errorOf([&] { zip->read(*zip->find("xl/worksheets/sheet1.xml"), "arket"); });
    EXPECT_EQ(message, "Kan ikke lese «arket» i «" + lying.string() +
                           "»: delen er lengre enn zip-arkivet oppgir (skadet)");
}

} // namespace
