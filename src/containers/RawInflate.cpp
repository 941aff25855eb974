#include "containers/RawInflate.h"

#include "containers/LargeBuffer.h"

#include <zlib.h>

#include <algorithm>

namespace containers {

std::optional<std::string> inflateExactly(std::string_view compressed, std::uint64_t size,
                                          std::uint32_t crc) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
    std::string data;
    // One byte to spare: a stream longer than declared fills it.
    reserveLarge(data, size + 1);
    data.resize(size + 1);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.next_out = reinterpret_cast<Bytef*>(data.data());
    std::size_t inLeft = compressed.size();
    std::size_t outLeft = data.size();
    int rc = Z_OK;
    // zlib counts in 32 bits: feed it in slices.
    constexpr std::size_t kSlice = std::size_t{1} << 30;
    while (rc == Z_OK) {
        const auto in = static_cast<uInt>(std::min(inLeft, kSlice));
        const auto out = static_cast<uInt>(std::min(outLeft, kSlice));
        stream.avail_in = in;
        stream.avail_out = out;
        rc = inflate(&stream, Z_NO_FLUSH);
        inLeft -= in - stream.avail_in;
        outLeft -= out - stream.avail_out;
        if (rc == Z_OK && stream.avail_in == in && stream.avail_out == out) break; // no progress
    }
    inflateEnd(&stream);
    if (rc != Z_STREAM_END || inLeft != 0 || data.size() - outLeft != size) return std::nullopt;
    data.resize(size);
    if (crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()) != crc) return std::nullopt;
    return data;
}

} // namespace containers
