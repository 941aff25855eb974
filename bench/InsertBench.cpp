// Row-insertion benchmark: 1,000 insertions at random rows of a large stock sheet with a formula
// column, a totals row, conditional formats and a second sheet referring to it, then save. The cost
// beyond open and save is compared with a save after a single written cell.
//
// usage: insert_bench WORKBOOK.xlsx [more workbooks of other sizes ...]
//        (make them with bench/make_insert_workload.py)

#include "BenchClock.h"
#include "sheets/Workbook.h"
#include "xlsx/XlsxWorkbook.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

using bench::Clock;
using bench::since;

struct Timing {
    int rows = 0;
    double open = 0, edit = 0, save = 0;
};

// Opens a copy, applies `insertions` random insertions (or writes one cell when 0), saves.
Timing run(const std::filesystem::path& source, int insertions) {
    auto work = std::filesystem::temp_directory_path() / "tulverkan-insert-bench.xlsx";
    std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
    Timing t;
    auto start = Clock::now();
    auto book = xlsx::openWorkbook(work, sheets::OpenMode::ReadWrite);
    auto& sheet = book->sheet(1);
    sheet.cell(1, 1);
    t.open = since(start);
    while (sheet.cell(t.rows + 2, 1).kind != sheets::CellValue::Kind::Empty)
        ++t.rows;

    start = Clock::now();
    std::mt19937 random(7);
    if (insertions == 0) sheet.setNumber(2, 4, 1);
    for (int i = 0; i < insertions; ++i) {
        int row = 3 + static_cast<int>(random() % static_cast<unsigned>(t.rows - 1));
        sheet.insertRow(row, sheets::CopyOrigin::FromLeftOrAbove);
        sheet.setText(row, 1, "S355J2");
        sheet.setNumber(row, 4, i);
    }
    t.edit = since(start);
    start = Clock::now();
    book->save();
    t.save = since(start);
    std::filesystem::remove(work);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: insert_bench WORKBOOK.xlsx ...\n");
        return 2;
    }
    std::printf("%9s %8s %8s %12s %10s %10s %14s\n", "rows", "open s", "save s", "1000 ins s", "save s",
                "beyond s", "per row+ins us");
    for (int i = 1; i < argc; ++i) {
        auto baseline = run(argv[i], 0);
        auto inserted = run(argv[i], 1000);
        double beyond = inserted.edit + inserted.save - baseline.save;
        std::printf("%9d %8.3f %8.3f %12.3f %10.3f %10.3f %14.3f\n", inserted.rows, baseline.open,
                    baseline.save, inserted.edit, inserted.save, beyond,
                    beyond * 1e6 / (inserted.rows + 1000));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %ld MiB\n", usage.ru_maxrss / 1024);
    return 0;
}
