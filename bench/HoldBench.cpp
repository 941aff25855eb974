// Hold benchmark: what holding an inventory adds to a run. The hold taken and let go (lock file,
// OS lock, fingerprint), the fingerprint alone (read and checksum the whole file) and the check a
// save makes; beside them, opening the workbook read-only and for writing. Medians of the rounds.
//
// usage: hold_bench WORKBOOK.xlsx [ROUNDS]   (the workbook's folder must be writable; use a copy)

#include "package/FileFingerprint.h"
#include "package/InventoryHold.h"
#include "sheets/Workbook.h"
#include "xlsx/XlsxWorkbook.h"

#include "BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

double medianMs(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const auto start = bench::Clock::now();
        work();
        times.push_back(bench::since(start) * 1000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hold_bench WORKBOOK.xlsx [ROUNDS]\n");
        return 2;
    }
    const std::filesystem::path path = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 21;
    std::printf("%s: %.1f MB, %d rounds, medians\n", path.c_str(), std::filesystem::file_size(path) / 1e6,
                rounds);
    const auto row = [](const char* what, double ms) { std::printf("%-36s %9.2f ms\n", what, ms); };
    row("fingerprint (read + CRC-32)", medianMs(rounds, [&] { xlsx::fingerprintOf(path); }));
    row("hold taken and let go", medianMs(rounds, [&] { xlsx::InventoryHold hold(path); }));
    {
        xlsx::InventoryHold hold(path);
        row("check at save (unchanged file)", medianMs(rounds, [&] { hold.requireUnchanged(); }));
    }
    row("open read-only", medianMs(rounds, [&] { xlsx::openWorkbook(path, sheets::OpenMode::ReadOnly); }));
    row("open for writing (held)",
        medianMs(rounds, [&] { xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite); }));
    return 0;
}
