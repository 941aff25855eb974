// Engine benchmark: open a large workbook, read every cell, write 1,000 cells, save; each phase's time
// and the peak memory so far. For comparison, what zlib alone needs to inflate and deflate the sheet.
//
// usage: engine_bench WORKBOOK.xlsx   (make one with bench/make_engine_workload.py)

#include "sheets/Workbook.h"
#include "xlsx/XlsxWorkbook.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void report(const char* phase, double s) {
    std::printf("%-28s %8.3f s   peak %5ld MiB\n", phase, s, peakMiB());
}

// The largest worksheet entry's raw deflate stream and its uncompressed size.
std::pair<std::vector<unsigned char>, zip_uint64_t> largestSheet(const std::string& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) throw std::runtime_error("cannot open " + path);
    zip_int64_t best = -1;
    zip_uint64_t bestSize = 0;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        if (std::string(st.name).starts_with("xl/worksheets/") && st.size > bestSize)
            best = i, bestSize = st.size;
    }
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(best), 0, &st);
    std::vector<unsigned char> raw(st.comp_size);
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(best), ZIP_FL_COMPRESSED);
    zip_fread(file, raw.data(), raw.size());
    zip_fclose(file);
    zip_close(archive);
    return {raw, st.size};
}

void zlibBaseline(const std::string& path) {
    auto [raw, size] = largestSheet(path);
    std::vector<unsigned char> xml(size);
    auto start = Clock::now();
    z_stream in{};
    inflateInit2(&in, -MAX_WBITS);
    in.next_in = raw.data();
    in.avail_in = static_cast<uInt>(raw.size());
    in.next_out = xml.data();
    in.avail_out = static_cast<uInt>(xml.size());
    inflate(&in, Z_FINISH);
    inflateEnd(&in);
    double inflateSeconds = seconds(start);
    std::printf("sheet XML: %.1f MB uncompressed, %.1f MB compressed\n", size / 1e6, raw.size() / 1e6);
    std::printf("%-28s %8.3f s\n", "zlib inflate", inflateSeconds);
    for (int level : {1, 6}) {
        std::vector<unsigned char> out(compressBound(static_cast<uLong>(size)));
        start = Clock::now();
        z_stream def{};
        deflateInit2(&def, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        def.next_in = xml.data();
        def.avail_in = static_cast<uInt>(xml.size());
        def.next_out = out.data();
        def.avail_out = static_cast<uInt>(out.size());
        deflate(&def, Z_FINISH);
        deflateEnd(&def);
        double deflateSeconds = seconds(start);
        std::printf("zlib deflate level %d         %8.3f s   (inflate + deflate %.3f s, %.1f MB)\n", level,
                    deflateSeconds, inflateSeconds + deflateSeconds, def.total_out / 1e6);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: engine_bench WORKBOOK.xlsx\n");
        return 2;
    }
    auto work = std::filesystem::temp_directory_path() / "tulverkan-engine-bench.xlsx";
    std::filesystem::copy_file(argv[1], work, std::filesystem::copy_options::overwrite_existing);

    auto total = Clock::now();
    auto start = Clock::now();
    auto book = xlsx::openWorkbook(work, sheets::OpenMode::ReadWrite);
    auto& sheet = book->sheet(1);
    sheet.cell(1, 1); // parses the sheet
    report("open", seconds(start));

    start = Clock::now();
    int rows = 0;
    double sum = 0;
    std::size_t textBytes = 0;
    for (int row = 1;; ++row) {
        if (sheet.cell(row, 1).kind == sheets::CellValue::Kind::Empty) break;
        rows = row;
        for (int column = 1; column <= 18; ++column) {
            auto value = sheet.cell(row, column);
            sum += value.number;
            textBytes += value.text.size();
        }
    }
    report("read every cell", seconds(start));
    std::printf("  %d rows, sum %.6g, %zu text bytes\n", rows, sum, textBytes);

    start = Clock::now();
    std::mt19937 random(42);
    for (int i = 0; i < 1000; ++i) {
        int row = 2 + static_cast<int>(random() % static_cast<unsigned>(rows - 1));
        if (i % 2)
            sheet.setNumber(row, 9, i);
        else
            sheet.setText(row, 13, "P-" + std::to_string(i));
    }
    report("write 1,000 cells", seconds(start));

    start = Clock::now();
    book->save();
    report("save", seconds(start));
    report("whole cycle", seconds(total));
    book.reset();
    std::filesystem::remove(work);

    zlibBaseline(argv[1]);
    return 0;
}
