// Formula benchmark: computing every formula of a 100,000-line stock sheet from scratch, and 1,000
// booking steps that each write a quantity (one in four into a newly inserted row) and then read the
// totals row, whose SUM depends on every line.
//
// usage: formula_bench DIR   (make DIR with bench/make_formula_workload.py)

#include "BenchClock.h"
#include "sheets/CellText.h"
#include "sheets/Workbook.h"
#include "xlsx/XlsxWorkbook.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::cpuSeconds;
using bench::since;

// The stock sheet's layout (two dimensions): length G, quantity H, kg/m I, weight J; the totals row is
// the last row, with its SUM in J.
constexpr int kLength = 7, kQuantity = 8, kPerMetre = 9, kWeight = 10;

int totalsRow(sheets::Worksheet& sheet) {
    int row = 3;
    while (sheet.cell(row, 2).kind != sheets::CellValue::Kind::Empty)
        ++row;
    return row + 1; // a spare row, then the totals
}

double number(const sheets::CellValue& value) {
    return value.kind == sheets::CellValue::Kind::Number ? value.number : -1;
}

void fromScratch(const fs::path& workload, const fs::path& work) {
    fs::copy_file(workload / "scratch.xlsx", work, fs::copy_options::overwrite_existing);
    auto book = xlsx::openWorkbook(work, sheets::OpenMode::ReadWrite);
    auto& sheet = book->sheet(1);
    int totals = totalsRow(sheet); // parses the sheet
    auto start = Clock::now();
    double cpu = cpuSeconds();
    double sum = number(sheet.cell(totals, kWeight));
    double computed = since(start);
    cpu = cpuSeconds() - cpu;
    start = Clock::now();
    sheet.setNumber(3, kQuantity, 1); // something to save
    book->save();
    std::printf("from scratch: %d lines, totals %.1f computed in %.3f s (%.3f s CPU); save %.3f s\n",
                totals - 4, sum, computed, cpu, since(start));
}

void booking(const fs::path& workload, const fs::path& work, int steps) {
    fs::copy_file(workload / "stored.xlsx", work, fs::copy_options::overwrite_existing);
    auto book = xlsx::openWorkbook(work, sheets::OpenMode::ReadWrite);
    auto& sheet = book->sheet(1);
    int totals = totalsRow(sheet);
    double before = number(sheet.cell(totals, kWeight));
    // The first change indexes what every formula reads.
    auto first = Clock::now();
    sheet.setNumber(3, kQuantity, sheet.cell(3, kQuantity).number);
    double indexing = since(first);
    std::mt19937 random(20241209);
    double reading = 0;
    auto start = Clock::now();
    double cpu = cpuSeconds();
    for (int step = 0; step < steps; ++step) {
        int lines = totals - 4;
        int row = 3 + static_cast<int>(random() % static_cast<unsigned>(lines));
        if (step % 4 == 3) {
            sheet.insertRow(row, sheets::CopyOrigin::FromLeftOrAbove);
            ++totals;
            sheet.setNumber(row, kLength, 6);
            sheet.setNumber(row, kPerMetre, 10);
        }
        sheet.setNumber(row, kQuantity, static_cast<double>(step % 17));
        auto read = Clock::now();
        (void)sheet.cell(totals, kWeight);
        reading += since(read);
    }
    double walk = since(start);
    cpu = cpuSeconds() - cpu;
    double last = number(sheet.cell(totals, kWeight));
    start = Clock::now();
    book->save();
    std::printf(
        "booking: %d steps (a write and a totals read each, a row inserted every fourth) in %.3f s "
        "(%.3f s CPU), %.3f ms a step, of which the totals read %.3f ms; totals %.1f -> %.1f; save %.3f s\n",
        steps, walk, cpu, walk * 1000 / steps, reading * 1000 / steps, before, last, since(start));
    std::printf("the first write, which indexes what every formula reads: %.3f s\n", indexing);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: formula_bench DIR\n");
        return 2;
    }
    fs::path workload = argv[1];
    fs::path work = fs::temp_directory_path() / "formula_bench.xlsx";
    try {
        fromScratch(workload, work);
        booking(workload, work, std::getenv("STEPS") ? std::atoi(std::getenv("STEPS")) : 1000);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    fs::remove(work);
    return 0;
}
