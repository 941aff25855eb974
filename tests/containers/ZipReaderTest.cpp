#include "containers/ZipReader.h"

#include "containers/Causes.h"
#include "sheets/AsciiCase.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <cstring>
#include <deque>
#include <fcntl.h>
#include <thread>

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

// Deflated entries of different content, large enough for several reads to overlap.
std::vector<std::string> writeDeflated(const std::filesystem::path& path, std::size_t count) {
    std::vector<std::string> contents;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text;
        for (std::size_t row = 0; text.size() < 200000; ++row)
            text += "<row r=\"" + std::to_string(row * (i + 1)) + "\"/>";
        contents.push_back(text);
    }
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& bytes = contents[i];
        zip_file_add(archive, ("part" + std::to_string(i)).c_str(),
                     zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return contents;
}

TEST(ZipReader, ReadsOnSeveralThreadsAtOnce) {
    testsupport::TempDir dir;
    const auto path = dir / "mange.zip";
    const auto contents = writeDeflated(path, 8);
    int error = 0;
    auto zip = ZipReader::open(path, containers::nameAsStored, error);
    ASSERT_TRUE(zip);
    auto readAll = [&] {
        for (int round = 0; round < 5; ++round)
            for (std::size_t i = 0; i < contents.size(); ++i) {
                EXPECT_EQ(zip->read(i, "del"), contents[i]);
                EXPECT_EQ(zip->declaredSize(i), contents[i].size());
            }
    };
    std::jthread other(readAll);
    readAll();
}

// A deflated entry whose checksum does not match gets libzip's own words for it.
TEST(ZipReader, AWrongChecksumIsNamedAsLibzipNamesIt) {
    testsupport::TempDir dir;
    const auto path = dir / "sjekksum.zip";
    const auto contents = writeDeflated(path, 2);
    auto bytes = testsupport::readFile(path);
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(contents[1].data()), static_cast<uInt>(contents[1].size())));
    char stored[4];
    std::memcpy(stored, &crc, 4); // little-endian, as the zip headers hold it
    int patched = 0;
    for (auto at = bytes.find(std::string_view(stored, 4)); at != std::string::npos;
         at = bytes.find(std::string_view(stored, 4), at + 4), ++patched)
        bytes[at] = static_cast<char>(bytes[at] ^ 1);
    ASSERT_EQ(patched, 2) << "the local header and the central directory";
    testsupport::writeFile(path, bytes);

    int error = 0;
    auto zip = ZipReader::open(path, containers::nameAsStored, error);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->read(0, "del"), contents[0]);
    EXPECT_EQ(testsupport::errorOf([&] { zip->read(1, "del"); }),
              "Kan ikke lese «del» i «" + path.string() + "»: " + containers::zipCause(ZIP_ER_CRC));
}

} // namespace
