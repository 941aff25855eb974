#include "package/ParallelDeflate.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {

std::string inflateRaw(const std::string& deflated, std::size_t size) {
    std::string out(size, '\0');
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(stream.total_out, size);
    EXPECT_EQ(stream.avail_in, 0u); // nothing after the final block
    inflateEnd(&stream);
    return out;
}

} // namespace

// The joined chunks must form one valid stream with the whole input's CRC, at sizes that give one
// chunk, several, and chunks that end exactly on a boundary.
TEST(ParallelDeflate, JoinedChunksInflateToTheInput) {
    std::mt19937 random(3);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{100000}, std::size_t{8} << 20,
                             (std::size_t{8} << 20) + 1, std::size_t{13} << 20}) {
        SCOPED_TRACE(size);
        std::string input(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            input[i] = static_cast<char>(i % 97 < 60 ? "<c r=\"A1\"><v>12</v></c>"[i % 24] : random() % 256);
        auto deflated = xlsx::deflateParallel(input, 1);
        ASSERT_TRUE(deflated);
        const auto& part = *deflated;
        EXPECT_EQ(part.size, size);
        EXPECT_EQ(part.crc, crc32_z(0, reinterpret_cast<const Bytef*>(input.data()), input.size()));
        EXPECT_EQ(inflateRaw(part.data, size), input);
    }
}

// Parts deflated together come out each as it would alone, whatever their sizes and order.
TEST(ParallelDeflate, PartsDeflatedTogetherComeOutAsAlone) {
    std::vector<std::string> inputs;
    for (std::size_t size : {std::size_t{200000}, std::size_t{9} << 20, std::size_t{0}, std::size_t{70000}}) {
        std::string input;
        for (std::size_t i = 0; input.size() < size; ++i)
            input += "<row r=\"" + std::to_string(i) + "\"><c r=\"A" + std::to_string(i) + "\"><v>" +
                     std::to_string(i * 7 % 1000) + "</v></c></row>";
        input.resize(size);
        inputs.push_back(std::move(input));
    }
    auto together = xlsx::deflateParts({inputs.begin(), inputs.end()}, 1);
    ASSERT_EQ(together.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        auto alone = xlsx::deflateParallel(inputs[i], 1);
        ASSERT_TRUE(together[i] && alone);
        EXPECT_EQ(together[i]->data, alone->data);
        EXPECT_EQ(together[i]->crc, alone->crc);
        EXPECT_EQ(inflateRaw(together[i]->data, inputs[i].size()), inputs[i]);
    }
}
