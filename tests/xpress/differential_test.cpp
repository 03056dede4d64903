// The table decoder against the bit-by-bit reference decoder that defines the output:
// whole output buffers (each cleared to zero, exactly n bytes long) must be equal on the
// real backups' chunks cut short at many points, on every output length of whole units,
// and on random, malformed and mutated tables and streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fixtures/expected_results.h"
#include "fixtures/real_chunks.h"
#include "fixtures/sample_data.h"
#include "fixtures/xpress_encoder.h"
#include "fixtures/xpress_reference.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lengths = std::array<uint8_t, 512>;
constexpr uint32_t kLargestChunk = 254 * 512;

// Decodes the first `size` bytes of `stored` both ways; buffers of exactly their size
// let the sanitizer build see any access outside them.
testing::AssertionResult SameAsReference(const Bytes& stored, size_t size, uint32_t n) {
    std::unique_ptr<uint8_t[]> input(new uint8_t[std::max<size_t>(size, 1)]);
    std::copy_n(stored.begin(), size, input.get());
    Bytes table(n, 0), reference(n, 0);
    XpressHuffmanDecompress(input.get(), static_cast<uint32_t>(size), n, table.data());
    XpressReferenceDecompress(input.get(), static_cast<uint32_t>(size), n, reference.data());
    if (table == reference) return testing::AssertionSuccess();
    const size_t at = static_cast<size_t>(std::mismatch(table.begin(), table.end(), reference.begin()).first - table.begin());
    return testing::AssertionFailure() << "outputs differ from byte " << at << " (of " << n << ") with " << size
                                       << " stored bytes";
}

Bytes TableBytes(const Lengths& lengths) {
    Bytes table(256);
    for (int k = 0; k < 256; ++k) table[k] = static_cast<uint8_t>(lengths[2 * k] | (lengths[2 * k + 1] << 4));
    return table;
}

// Code lengths of the kinds that matter to a decoder: complete and incomplete prefix
// codes (also long and sparse ones, near the tree's node limit), codes with more codes
// than fit, and the edge tables.
Lengths RandomLengths(int kind, std::mt19937& rng) {
    Lengths lengths{};
    switch (kind) {
        case 0: {  // complete, from skewed frequencies
            std::array<uint32_t, 512> frequencies{};
            for (uint32_t& f : frequencies) f = rng() % 4 == 0 ? 0 : 1 + (rng() % 1000) * (rng() % 1000);
            lengths = XpressCodeLengths(frequencies);
            break;
        }
        case 1: {  // complete, then some codes dropped: incomplete
            lengths = RandomLengths(0, rng);
            for (int drop = 0; drop < 40; ++drop) lengths[rng() % 512] = 0;
            break;
        }
        case 2: {  // long codes for nearly every symbol and maybe one short code: they
                   // fit, and the tree's node count lands on either side of the limit
            for (uint8_t& l : lengths) l = static_cast<uint8_t>(13 + rng() % 3);
            for (uint32_t drop = rng() % 12; drop > 0; --drop) lengths[rng() % 512] = 0;
            if (rng() % 2 == 0) lengths[rng() % 512] = static_cast<uint8_t>(1 + rng() % 8);
            break;
        }
        case 3:  // any lengths: more codes than fit, later ones replacing earlier ones
            for (uint8_t& l : lengths) l = rng() % 3 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % 15);
            break;
        case 4: {  // complete, then one code a bit shorter: barely more than fits
            lengths = RandomLengths(0, rng);
            for (int tries = 0; tries < 512; ++tries) {
                uint8_t& l = lengths[rng() % 512];
                if (l > 1) {
                    --l;
                    break;
                }
            }
            break;
        }
        default: {  // a few codes only, or none
            const int count = static_cast<int>(rng() % 4);
            for (int c = 0; c < count; ++c) lengths[rng() % 512] = static_cast<uint8_t>(1 + rng() % 15);
            break;
        }
    }
    return lengths;
}

uint32_t RandomOutputLength(std::mt19937& rng) {
    return rng() % 2 == 0 ? 512 * (1 + rng() % 254) : 1 + rng() % kLargestChunk;
}

TEST(XpressDifferential, RealChunksCutShort) {
    // Every cut of the smallest chunks; of the others, the cuts through the first words,
    // the last 32 and 12 between.
    SKIP_WITHOUT_REAL_BACKUPS();
    int chunks = 0;
    int small = 0;
    for (const auto& path : expected::CompressedFiles()) {
        for (const RealChunk& chunk : CodedChunks(ReadWholeFile(path))) {
            ++chunks;
            const size_t size = chunk.stored.size();
            const uint32_t n = chunk.units * 512;
            const size_t step = std::max<size_t>(size / 12, 1);
            if (size < 360) ++small;
            for (size_t cut = 0; cut <= size; ++cut) {
                const bool tried = size < 360 || (cut >= 256 && cut < 300) || cut + 32 >= size || cut % step == 0;
                if (!tried) continue;
                ASSERT_TRUE(SameAsReference(chunk.stored, cut, n)) << path << " chunk at " << chunk.offset;
            }
        }
    }
    EXPECT_GT(chunks, 100);
    EXPECT_GT(small, 5);
}

TEST(XpressDifferential, EveryOutputLengthOfWholeUnits) {
    // One long chunk of each kind of data, decoded into every length from 1 to 254 units,
    // so that matches are cut at the output's end in every way.
    uint32_t variant = 40;
    for (SampleKind kind : kSampleKinds) {
        const Bytes stored = XpressEncode(MakeSample(kind, kLargestChunk, variant++));
        for (uint32_t units = 1; units <= 254; ++units)
            ASSERT_TRUE(SameAsReference(stored, stored.size(), units * 512)) << SampleKindName(kind) << ", " << units;
    }
}

TEST(XpressDifferential, RandomTablesWithRandomStreams) {
    std::mt19937 rng(2024);
    int built = 0;
    int overNodeLimit = 0;
    for (int round = 0; round < 1800; ++round) {
        const int kind = round % 6;
        const Lengths lengths = RandomLengths(kind, rng);
        Bytes stored = TableBytes(lengths);
        stored.resize(256 + rng() % 3000);
        for (size_t i = 256; i < stored.size(); ++i) stored[i] = static_cast<uint8_t>(rng());
        ASSERT_TRUE(SameAsReference(stored, stored.size(), RandomOutputLength(rng))) << "round " << round;

        if (kind == 2) {
            XpressHuffmanNode nodes[kXpressMaxNodes];
            ++(XpressBuildHuffmanTree(stored.data(), nodes) == nullptr ? overNodeLimit : built);
        }
    }
    // The sparse codes fell on both sides of the node limit.
    EXPECT_GT(built, 20);
    EXPECT_GT(overNodeLimit, 20);
}

TEST(XpressDifferential, TablesAtTheNodeLimit) {
    std::mt19937 rng(5);
    Lengths oneAndLong{};  // one 1-bit code and 511 of 15 bits fit the code space but need 1,029 nodes
    oneAndLong.fill(15);
    oneAndLong[rng() % 512] = 1;
    Lengths ten{}, eleven{}, nine{};
    ten.fill(10);     // 1,024 nodes
    eleven.fill(11);  // 1,025
    nine.fill(9);     // complete, 1,023
    for (const Lengths& lengths : {oneAndLong, ten, eleven, nine}) {
        Bytes stored = TableBytes(lengths);
        stored.resize(2000);
        for (size_t i = 256; i < stored.size(); ++i) stored[i] = static_cast<uint8_t>(rng());
        ASSERT_TRUE(SameAsReference(stored, stored.size(), kLargestChunk));
    }
}

TEST(XpressDifferential, MutatedChunks) {
    // Well-formed chunks with flipped bits in the table or the stream, bytes inserted or
    // removed (which moves the length bytes against the words), and random cuts.
    std::mt19937 rng(77);
    std::vector<Bytes> chunks;
    std::vector<uint32_t> sizes;
    uint32_t variant = 300;
    for (SampleKind kind : kSampleKinds) {
        for (uint32_t n : {5000u, 70000u}) {
            chunks.push_back(XpressEncode(MakeSample(kind, n, variant++)));
            sizes.push_back(n);
        }
    }
    for (int round = 0; round < 600; ++round) {
        const size_t which = rng() % chunks.size();
        Bytes stored = chunks[which];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % stored.size();
            switch (rng() % 4) {
                case 0: stored[at % 256] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
                case 1: stored[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
                case 2: stored.insert(stored.begin() + static_cast<ptrdiff_t>(at), static_cast<uint8_t>(rng())); break;
                default:
                    if (at >= 256) stored.erase(stored.begin() + static_cast<ptrdiff_t>(at));
                    break;
            }
        }
        const size_t size = rng() % 3 == 0 ? rng() % (stored.size() + 1) : stored.size();
        const uint32_t n = rng() % 2 == 0 ? sizes[which] : RandomOutputLength(rng);
        ASSERT_TRUE(SameAsReference(stored, size, n)) << "round " << round;
    }
}

}  // namespace
