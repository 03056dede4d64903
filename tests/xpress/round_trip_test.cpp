// Round trips through the test encoder: varied data up to the largest chunk, one table
// for all of it, the extreme matches, and what arbitrary bytes may do to the decoder.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fixtures/sample_data.h"
#include "fixtures/xpress_encoder.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kLargestChunk = 254 * 512;

Bytes Decode(const Bytes& stored, size_t n, uint8_t fill = 0) {
    Bytes out(n, fill);
    XpressHuffmanDecompress(stored.data(), static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(n), out.data());
    return out;
}

TEST(XpressRoundTrip, VariedDataOfEverySizeUpToTheLargestChunk) {
    const size_t sizes[] = {1, 2, 3, 4, 17, 18, 272, 273, 512, 4096, 65535, 65536, 65537, 100000, kLargestChunk};
    uint32_t variant = 1;
    for (SampleKind kind : kSampleKinds) {
        for (size_t size : sizes) {
            Bytes data = MakeSample(kind, size, variant++);
            Bytes stored = XpressEncode(data);
            ASSERT_EQ(Decode(stored, size), data) << SampleKindName(kind) << " of " << size << " bytes";
        }
    }
}

TEST(XpressRoundTrip, OneTableServesOutputPast65536Bytes) {
    // Literals spread over the whole chunk with matches that cross the 65,536 mark and
    // reach back over it: a second table read at that point would break the decode.
    std::vector<XpressToken> tokens;
    size_t size = 0;
    auto add = [&](XpressToken token) {
        tokens.push_back(token);
        size += token.IsMatch() ? token.length : 1;
    };
    std::mt19937 rng(7);
    while (size < 65530) {
        add(XpressToken::Literal(static_cast<uint8_t>(rng())));
        if (rng() % 3 == 0) add(XpressToken::Match(3 + rng() % 40, 1 + rng() % 200));
    }
    add(XpressToken::Match(20, 5));  // crosses byte 65,536
    add(XpressToken::Literal(0xEE));
    add(XpressToken::Match(30000, 65535));
    while (size < kLargestChunk) {
        add(XpressToken::Literal(static_cast<uint8_t>(rng())));
        if (rng() % 3 == 0) add(XpressToken::Match(3 + rng() % 300, 1 + rng() % 65535));
    }
    Bytes expected = XpressExpandTokens(tokens);
    expected.resize(kLargestChunk);

    Bytes stored = XpressEncodeTokens(tokens);
    EXPECT_EQ(Decode(stored, kLargestChunk), expected);
}

TEST(XpressRoundTrip, ExtremeMatchesAndEveryLengthForm) {
    std::vector<XpressToken> tokens = {XpressToken::Literal(1), XpressToken::Literal(2)};
    for (uint32_t length : {3u, 17u, 18u, 269u, 270u, 271u, 272u, 273u, 65538u})
        for (uint32_t distance : {1u, 2u, 3u, 255u, 256u, 32768u, 65535u}) {
            tokens.push_back(XpressToken::Match(length, distance));
            tokens.push_back(XpressToken::Literal(static_cast<uint8_t>(length + distance)));
        }
    Bytes expected = XpressExpandTokens(tokens);
    Bytes stored = XpressEncodeTokens(tokens);
    EXPECT_EQ(Decode(stored, expected.size(), 0), expected);
}

TEST(XpressRoundTrip, SkewedFrequenciesStayWithinFifteenBitCodes) {
    // Fibonacci-like frequencies would give a plain Huffman code deeper than 15 bits.
    std::vector<XpressToken> tokens;
    uint32_t a = 1, b = 1;
    for (uint8_t symbol = 0; symbol < 25; ++symbol) {
        for (uint32_t r = 0; r < a; ++r) tokens.push_back(XpressToken::Literal(symbol));
        uint32_t next = a + b;
        a = b;
        b = next;
    }
    Bytes stored = XpressEncodeTokens(tokens);
    Bytes expected = XpressExpandTokens(tokens);
    EXPECT_EQ(Decode(stored, expected.size()), expected);
}

TEST(XpressCodeLengthsTest, AreLimitedAndFormAPrefixCode) {
    std::array<uint32_t, 512> frequencies{};
    uint32_t a = 1, b = 1;
    for (int s = 0; s < 40; ++s) {
        frequencies[s * 3] = a;
        uint32_t next = a + b;
        a = b;
        b = next;
    }
    std::array<uint8_t, 512> lengths = XpressCodeLengths(frequencies);
    double kraft = 0;
    for (int s = 0; s < 512; ++s) {
        ASSERT_LE(lengths[s], 15);
        ASSERT_EQ(lengths[s] != 0, frequencies[s] != 0) << s;
        if (lengths[s]) kraft += 1.0 / (1u << lengths[s]);
    }
    EXPECT_LE(kraft, 1.0);
}

TEST(XpressArbitraryInput, StaysInsideTheOutputAndIsRepeatable) {
    // Random tables and streams, and valid chunks with flipped bits: the decode stays in
    // its buffer (the sanitizer build watches) and gives the same bytes every time.
    std::mt19937 rng(11);
    Bytes valid = XpressEncode(MakeSample(SampleKind::Text, 20000, 3));
    for (int round = 0; round < 200; ++round) {
        Bytes stored;
        if (round % 2 == 0) {
            stored.resize(rng() % 2000);
            for (uint8_t& byte : stored) byte = static_cast<uint8_t>(rng());
        } else {
            stored = valid;
            for (int flips = 0; flips < 4; ++flips) stored[rng() % stored.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        size_t n = 1 + rng() % kLargestChunk;
        Bytes first = Decode(stored, n, 0x3C);
        EXPECT_EQ(Decode(stored, n, 0x3C), first);
    }
}

}  // namespace
