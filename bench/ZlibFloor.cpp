// The floor a save of a workbook cannot go below: every worksheet part inflated and deflated again
// at level 1 on one core, with zlib alone. batch_bench.py times this program as a whole process
// beside tulverkan-batch on the same file.
//
// usage: zlib_floor WORKBOOK.xlsx
// Prints the parts' uncompressed size and the time the inflating and deflating took in the process.

#include "BenchClock.h"

#include <zip.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isSheetPart(std::string_view name) {
    return name.starts_with("xl/worksheets/") && name.ends_with(".xml") &&
           name.find('/', 14) == std::string_view::npos;
}

bool inflateRaw(const std::vector<unsigned char>& input, std::string& output) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<unsigned char*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = static_cast<uInt>(output.size());
    const int rc = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return rc == Z_STREAM_END && stream.total_out == output.size();
}

std::size_t deflateRaw(const std::string& input, std::vector<unsigned char>& output) {
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    output.resize(deflateBound(&stream, input.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int rc = deflate(&stream, Z_FINISH);
    const std::size_t size = stream.total_out;
    deflateEnd(&stream);
    return rc == Z_STREAM_END ? size : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zlib_floor WORKBOOK.xlsx\n");
        return 2;
    }
    int error = 0;
    zip_t* archive = zip_open(argv[1], ZIP_RDONLY, &error);
    if (!archive) {
        std::fprintf(stderr, "zlib_floor: cannot open %s\n", argv[1]);
        return 1;
    }
    const auto start = bench::Clock::now();
    std::size_t plain = 0, packed = 0;
    std::vector<unsigned char> compressed, recompressed;
    std::string xml;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !isSheetPart(stat.name)) continue;
        if (stat.comp_method != ZIP_CM_DEFLATE) continue;
        // The compressed bytes as stored; zlib does all the work.
        zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
        if (!file) return 1;
        compressed.resize(stat.comp_size);
        const zip_int64_t read = zip_fread(file, compressed.data(), compressed.size());
        zip_fclose(file);
        if (read != static_cast<zip_int64_t>(stat.comp_size)) return 1;
        xml.resize(stat.size);
        if (!inflateRaw(compressed, xml)) {
            std::fprintf(stderr, "zlib_floor: %s does not inflate\n", stat.name);
            return 1;
        }
        const std::size_t size = deflateRaw(xml, recompressed);
        if (size == 0) return 1;
        plain += xml.size();
        packed += size;
    }
    const double seconds = bench::since(start);
    zip_discard(archive);
    std::printf("sheet xml %zu bytes, deflated at level 1 %zu bytes, %.3f s\n", plain, packed, seconds);
    return 0;
}
