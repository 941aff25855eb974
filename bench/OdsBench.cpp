// .ods benchmark: opens one workbook through the order opener, reads the cells the booking reads
// (columns 2 and 14 down to the first empty column 2, and the far corner), and reports the time and
// the process's peak memory.
//
// usage: ods_bench WORKBOOK.ods   (make them with bench/make_ods_workload.py; one file a run, so the
//                                  peak memory is that file's)

#include "orders/Opener.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ods_bench WORKBOOK.ods\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto book = orders::openWorkbook(argv[1], sheets::OpenMode::ReadOnly);
    const double open = std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    const auto& sheet = book->activeSheet();
    int rows = 0;
    int marked = 0;
    for (int row = 10; row <= 1048576 && sheet.cell(row, 2).kind != sheets::CellValue::Kind::Empty;
         ++row, ++rows)
        marked += sheet.cell(row, 14).kind != sheets::CellValue::Kind::Empty;
    const bool corner = sheet.cell(1048576, 16384).kind != sheets::CellValue::Kind::Empty;
    const double walk = std::chrono::duration<double>(Clock::now() - start).count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-40s open %7.3f s  walk %7.3f s  (%d lines, %d marked, corner %s)  peak %ld MiB\n", argv[1],
                open, walk, rows, marked, corner ? "set" : "empty", usage.ru_maxrss / 1024);
    return 0;
}
