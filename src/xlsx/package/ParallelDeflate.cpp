#include "package/ParallelDeflate.h"

#include "package/LargeBuffer.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
#include <vector>
#include <zlib.h>

namespace xlsx {

namespace {

constexpr std::size_t kMinChunk = std::size_t{4} << 20;
constexpr std::size_t kWindow = 32768;
constexpr unsigned kMaxThreads = 8;

struct Chunk {
    std::string_view input;
    std::string_view dictionary;
    bool last = false;
    std::unique_ptr<char[]> output;
    std::size_t outputSize = 0;
    std::uint32_t crc = 0;
    bool failed = false;
};

void deflateChunk(Chunk& chunk, int level) {
    chunk.crc = static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(chunk.input.data()), chunk.input.size()));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        chunk.failed = true;
        return;
    }
    if (!chunk.dictionary.empty())
        deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(chunk.dictionary.data()),
                             static_cast<uInt>(chunk.dictionary.size()));
    // Left uninitialised: only the pages deflate writes are ever touched.
    const std::size_t bound = deflateBound(&stream, chunk.input.size()) + 16;
    chunk.output.reset(new char[bound]);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.input.data()));
    stream.avail_in = static_cast<uInt>(chunk.input.size());
    stream.next_out = reinterpret_cast<Bytef*>(chunk.output.get());
    stream.avail_out = static_cast<uInt>(bound);
    int rc = deflate(&stream, chunk.last ? Z_FINISH : Z_SYNC_FLUSH);
    chunk.failed = chunk.last ? rc != Z_STREAM_END : (rc != Z_OK || stream.avail_in != 0);
    chunk.outputSize = stream.total_out;
    deflateEnd(&stream);
}

} // namespace

std::optional<DeflatedPart> deflateParallel(std::string_view input, int level) {
    unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    std::size_t count = std::clamp<std::size_t>(input.size() / kMinChunk, 1, threads);
    std::size_t size = (input.size() + count - 1) / count;
    std::vector<Chunk> chunks(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t begin = std::min(i * size, input.size());
        chunks[i].input = input.substr(begin, size);
        chunks[i].dictionary = input.substr(begin - std::min(begin, kWindow), std::min(begin, kWindow));
        chunks[i].last = i + 1 == count;
    }
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 1; i < count; ++i)
            workers.emplace_back(deflateChunk, std::ref(chunks[i]), level);
        deflateChunk(chunks[0], level);
    }
    DeflatedPart result;
    result.size = input.size();
    std::size_t total = 0;
    for (const auto& chunk : chunks) {
        if (chunk.failed) return std::nullopt;
        total += chunk.outputSize;
    }
    reserveLarge(result.data, total);
    for (const auto& chunk : chunks) {
        result.data.append(chunk.output.get(), chunk.outputSize);
        result.crc = static_cast<std::uint32_t>(
            crc32_combine(result.crc, chunk.crc, static_cast<z_off_t>(chunk.input.size())));
    }
    return result;
}

} // namespace xlsx
