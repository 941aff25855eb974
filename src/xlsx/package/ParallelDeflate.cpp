#include "package/ParallelDeflate.h"

#include "containers/LargeBuffer.h"

#include <algorithm>
#include <atomic>
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

std::vector<std::optional<DeflatedPart>> deflateParts(const std::vector<std::string_view>& inputs,
                                                      int level) {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    // Every part is cut as it would be alone, so that its bytes do not depend on the others.
    std::vector<Chunk> chunks;
    std::vector<std::size_t> firstChunk;
    for (std::string_view input : inputs) {
        firstChunk.push_back(chunks.size());
        std::size_t count = std::clamp<std::size_t>(input.size() / kMinChunk, 1, threads);
        std::size_t size = (input.size() + count - 1) / count;
        for (std::size_t i = 0; i < count; ++i) {
            Chunk chunk;
            std::size_t begin = std::min(i * size, input.size());
            chunk.input = input.substr(begin, size);
            chunk.dictionary = input.substr(begin - std::min(begin, kWindow), std::min(begin, kWindow));
            chunk.last = i + 1 == count;
            chunks.push_back(std::move(chunk));
        }
    }
    firstChunk.push_back(chunks.size());
    // The largest first, so that no core is left with a big one at the end.
    std::vector<std::size_t> order(chunks.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return chunks[a].input.size() > chunks[b].input.size();
    });
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < order.size(); i = next++)
            deflateChunk(chunks[order[i]], level);
    };
    {
        std::vector<std::jthread> workers;
        for (unsigned i = 1; i < std::min<std::size_t>(threads, chunks.size()); ++i)
            workers.emplace_back(work);
        work();
    }
    std::vector<std::optional<DeflatedPart>> results;
    for (std::size_t part = 0; part < inputs.size(); ++part) {
        auto& result = results.emplace_back(DeflatedPart{});
        result->size = inputs[part].size();
        std::size_t total = 0;
        for (std::size_t c = firstChunk[part]; c < firstChunk[part + 1]; ++c) {
            if (chunks[c].failed) result.reset();
            total += chunks[c].outputSize;
        }
        if (!result) continue;
        containers::reserveLarge(result->data, total);
        for (std::size_t c = firstChunk[part]; c < firstChunk[part + 1]; ++c) {
            const Chunk& chunk = chunks[c];
            result->data.append(chunk.output.get(), chunk.outputSize);
            result->crc = static_cast<std::uint32_t>(
                crc32_combine(result->crc, chunk.crc, static_cast<z_off_t>(chunk.input.size())));
        }
    }
    return results;
}

std::optional<DeflatedPart> deflateParallel(std::string_view input, int level) {
    return std::move(deflateParts({input}, level).front());
}

} // namespace xlsx
