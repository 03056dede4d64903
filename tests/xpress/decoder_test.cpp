// The chunk decoder on hand-made streams: code assignment, bit order, match forms,
// the four ways a decode ends, and malformed tables.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/xpress_encoder.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kUntouched = 0xA5;

// Decodes into a buffer of exactly n bytes that starts filled with `fill`.
Bytes Decode(const Bytes& stored, uint32_t n, uint8_t fill = kUntouched) {
    Bytes out(n, fill);
    XpressHuffmanDecompress(stored.data(), static_cast<uint32_t>(stored.size()), n, out.data());
    return out;
}

// A chunk from raw table bytes (index, value) and raw 16-bit stream words.
Bytes RawChunk(std::initializer_list<std::pair<int, uint8_t>> table, const std::vector<uint16_t>& words) {
    Bytes chunk(256, 0);
    for (auto [index, value] : table) chunk[index] = value;
    for (uint16_t w : words) {
        chunk.push_back(static_cast<uint8_t>(w));
        chunk.push_back(static_cast<uint8_t>(w >> 8));
    }
    return chunk;
}

std::array<uint8_t, 512> Lengths(std::initializer_list<std::pair<uint32_t, uint8_t>> codes) {
    std::array<uint8_t, 512> lengths{};
    for (auto [symbol, length] : codes) lengths[symbol] = length;
    return lengths;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// How many leading bytes were written (the rest still hold kUntouched).
size_t Written(const Bytes& out) {
    size_t end = out.size();
    while (end > 0 && out[end - 1] == kUntouched) --end;
    return end;
}

TEST(XpressCodes, CanonicalCodesFollowLengthThenSymbolWithTheFirstBitMostSignificant) {
    // Lengths 1, 2, 2 for 'a', 'b', 'c': codes 0, 10, 11. Stream 0 10 11 then zeros.
    Bytes chunk = RawChunk({{48, 0x10}, {49, 0x22}}, {0x5800, 0x0000});
    EXPECT_EQ(Decode(chunk, 6), Text("abcaaa"));

    // The writer assigns the same codes and sets the same table bytes.
    XpressStreamWriter writer(Lengths({{97, 1}, {98, 2}, {99, 2}}));
    for (char c : std::string("cab")) writer.Symbol(static_cast<uint8_t>(c));
    Bytes written = writer.Finish();
    EXPECT_EQ(written[48], 0x10);
    EXPECT_EQ(written[49], 0x22);
    EXPECT_EQ(Decode(written, 3), Text("cab"));
}

TEST(XpressCodes, SymbolOrderWithinOneLengthDecidesTheCodesNotTableOrder) {
    // Four 2-bit codes: 'd' < 'x' < 'y' < 'z' gives 00, 01, 10, 11 whatever byte holds them.
    Bytes chunk = RawChunk({{50, 0x02}, {60, 0x22}, {61, 0x02}}, {0b1110'0100'0000'0000, 0});
    EXPECT_EQ(Decode(chunk, 4), Text("zyxd"));
}

TEST(XpressCodes, ASingleOneBitCodeDecodesZeroBitsUntilAOneBitEndsTheDecode) {
    // Only 'A' has a code (0). Bit 11 of the stream is a 1: no branch, the decode ends.
    Bytes chunk = RawChunk({{32, 0x10}}, {0x0010, 0, 0, 0});
    Bytes out = Decode(chunk, 40);
    EXPECT_EQ(Written(out), 11u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 11), Bytes(11, 'A'));

    Bytes zeros = RawChunk({{32, 0x10}}, std::vector<uint16_t>(10, 0));
    EXPECT_EQ(Decode(zeros, 100), Bytes(100, 'A'));
}

TEST(XpressCodes, ATableWithNoCodesDecodesNothing) {
    Bytes chunk = RawChunk({}, {0, 0, 0, 0});
    EXPECT_EQ(Decode(chunk, 64, 0), Bytes(64, 0));
    EXPECT_EQ(Decode(chunk, 64), Bytes(64, kUntouched));
}

TEST(XpressMatches, Symbol256IsAThreeByteMatchAtDistanceOne) {
    XpressStreamWriter writer(Lengths({{120, 1}, {256, 1}}));
    writer.Symbol(120);
    writer.Symbol(256);
    writer.Symbol(256);
    writer.Symbol(120);
    EXPECT_EQ(Decode(writer.Finish(), 8), Text("xxxxxxxx"));
    // n is the caller's: symbol 256 never ends the decode early.
    XpressStreamWriter again(Lengths({{120, 1}, {256, 1}}));
    again.Symbol(120);
    for (int r = 0; r < 10; ++r) again.Symbol(256);
    EXPECT_EQ(Decode(again.Finish(), 31), Bytes(31, 'x'));
}

TEST(XpressMatches, LengthBytesGiveTheLongFormsAndKeepTheStreamInStep) {
    // 271 is nibble 15 at distance 1: a byte follows, and after a byte 255 a word.
    XpressStreamWriter writer(Lengths({{'x', 2}, {'y', 2}, {'z', 2}, {271, 2}}));
    writer.Symbol('x');
    writer.Symbol(271);  // byte 255, word 0: 3 bytes
    writer.Byte(255);
    writer.Word(0);
    writer.Symbol('y');
    writer.Symbol(271);  // byte 254: 272 bytes
    writer.Byte(254);
    writer.Symbol('z');
    writer.Symbol(271);  // byte 0: 18 bytes
    writer.Byte(0);
    writer.Symbol('x');
    writer.Symbol(271);  // byte 255, word 1000: 1003 bytes
    writer.Byte(255);
    writer.Word(1000);
    writer.Symbol('y');

    Bytes expected = Text("xxxx");
    expected.insert(expected.end(), 1 + 272, 'y');
    expected.insert(expected.end(), 1 + 18, 'z');
    expected.insert(expected.end(), 1 + 1003, 'x');
    expected.push_back('y');
    EXPECT_EQ(Decode(writer.Finish(), static_cast<uint32_t>(expected.size())), expected);
}

TEST(XpressMatches, DistanceBitsComeFromTheStreamBeforeTheLengthBytesAreRead) {
    // A long match with 8 distance bits: the bits follow the symbol in the stream even
    // though the length byte is read first, from the input position.
    std::vector<XpressToken> tokens;
    for (int c = 0; c < 300; ++c) tokens.push_back(XpressToken::Literal(static_cast<uint8_t>(c * 7)));
    tokens.push_back(XpressToken::Match(100, 257));   // k = 8, byte 82
    tokens.push_back(XpressToken::Literal('!'));
    tokens.push_back(XpressToken::Match(2000, 399));  // k = 8, byte 255 and a word
    tokens.push_back(XpressToken::Match(5, 400));
    Bytes expected = XpressExpandTokens(tokens);
    EXPECT_EQ(Decode(XpressEncodeTokens(tokens), static_cast<uint32_t>(expected.size())), expected);
}

TEST(XpressMatches, BytesBeforeTheOutputStartKeepTheirValueAndTheDecodeGoesOn) {
    XpressStreamWriter writer(Lengths({{'a', 2}, {'b', 2}, {256, 2}, {256 + 0x20 + 2, 2}}));
    writer.Symbol(256);  // at i = 0, distance 1: bytes 0-2 untouched
    writer.Symbol('a');
    writer.Symbol('b');
    writer.Symbol(256 + 0x20 + 2);  // length 5, distance 4 + 2 = 6 at i = 5
    writer.Bits(2, 2);
    writer.Symbol('b');
    Bytes out = Decode(writer.Finish(), 11);
    // i = 5..9 copy from i - 6: i = 5 reaches before the start; 6-9 copy bytes 0-3.
    Bytes expected = {kUntouched, kUntouched, kUntouched, 'a', 'b', kUntouched, kUntouched,
                      kUntouched, kUntouched, 'a', 'b'};
    EXPECT_EQ(out, expected);
}

TEST(XpressMatches, AMatchIsCutAtTheOutputLength) {
    std::vector<XpressToken> tokens = {XpressToken::Literal('q'), XpressToken::Match(40, 1),
                                       XpressToken::Literal('r')};
    Bytes stored = XpressEncodeTokens(tokens);
    for (uint32_t n : {1u, 2u, 20u, 41u}) {
        Bytes out(n + 16, kUntouched);
        XpressHuffmanDecompress(stored.data(), static_cast<uint32_t>(stored.size()), n, out.data());
        Bytes expected(n, 'q');
        expected.insert(expected.end(), 16, kUntouched);
        EXPECT_EQ(out, expected) << "n = " << n;
    }
}

TEST(XpressInput, FewerThan260StoredBytesDecodeNothing) {
    Bytes chunk = XpressEncode(Bytes(1000, 'k'));
    ASSERT_EQ(Decode(chunk, 1000), Bytes(1000, 'k'));
    EXPECT_EQ(Decode(Bytes(chunk.begin(), chunk.begin() + 259), 1000), Bytes(1000, kUntouched));
}

TEST(XpressInput, AWordThatIsNotStoredEndsTheDecodeBeforeTheBitsStillInTheWindow) {
    // 'A' is code 0. With only the first two words stored, the 17th bit consumed needs a
    // third word: 16 bytes come out although 32 bits were loaded.
    Bytes chunk = RawChunk({{32, 0x10}}, {0, 0});
    EXPECT_EQ(Written(Decode(chunk, 100)), 16u);
    chunk.push_back(0);  // half a word is no word
    EXPECT_EQ(Written(Decode(chunk, 100)), 16u);
    chunk.push_back(0);
    EXPECT_EQ(Written(Decode(chunk, 100)), 32u);
}

TEST(XpressInput, EveryTruncationKeepsAnExactPrefixAndGrowsWithTheInput) {
    std::vector<XpressToken> tokens;
    for (int c = 0; c < 40; ++c) tokens.push_back(XpressToken::Literal(static_cast<uint8_t>('a' + c % 26)));
    tokens.push_back(XpressToken::Match(300, 26));    // byte
    tokens.push_back(XpressToken::Match(20, 13));     // byte
    tokens.push_back(XpressToken::Match(4000, 39));   // byte 255 and word
    tokens.push_back(XpressToken::Literal('!'));
    Bytes expected = XpressExpandTokens(tokens);
    Bytes stored = XpressEncodeTokens(tokens);
    const uint32_t n = static_cast<uint32_t>(expected.size());
    ASSERT_EQ(Decode(stored, n), expected);

    size_t previous = 0;
    for (size_t size = 0; size < stored.size(); ++size) {
        Bytes out = Decode(Bytes(stored.begin(), stored.begin() + size), n);
        size_t written = Written(out);
        ASSERT_LT(written, n) << "size " << size;
        ASSERT_EQ(Bytes(out.begin(), out.begin() + written), Bytes(expected.begin(), expected.begin() + written));
        ASSERT_GE(written, previous) << "size " << size;
        previous = written;
    }
}

TEST(XpressMalformedTables, ALaterCodeReplacesAnEarlierOne) {
    // Three 1-bit codes: 'a' = 0, 'b' = 1, then 'c' = 10 whose last bit 0 replaces 'a'.
    Bytes chunk = RawChunk({{48, 0x10}, {49, 0x11}}, {0b0101'0000'0000'0000, 0});
    EXPECT_EQ(Decode(chunk, 4), Text("cbcb"));
}

TEST(XpressMalformedTables, ACodeWhosePathRunsThroughALeafIsNeverReached) {
    // 'a' = 0, 'b' = 1, 'c' = 100 as a 2-bit code: its path goes through the leaf 'a'.
    Bytes chunk = RawChunk({{48, 0x10}, {49, 0x21}}, {0b0110'0000'0000'0000, 0});
    EXPECT_EQ(Decode(chunk, 4), Text("abba"));
}

TEST(XpressMalformedTables, TheTreeMayUseAll1024NodesButNotOneMore) {
    // 512 codes of 10 bits need 1,024 nodes; of 11 bits, 1,025.
    std::array<uint8_t, 512> ten;
    ten.fill(10);
    XpressStreamWriter writer(ten);
    for (uint32_t s : {0u, 255u, 7u, 65u}) writer.Symbol(s);
    EXPECT_EQ(Decode(writer.Finish(), 4), Bytes({0, 255, 7, 65}));

    std::array<uint8_t, 512> eleven;
    eleven.fill(11);
    XpressStreamWriter over(eleven);
    for (uint32_t s : {0u, 1u, 2u}) over.Symbol(s);
    EXPECT_EQ(Decode(over.Finish(), 3), Bytes(3, kUntouched));

    // A complete code over all 512 symbols (1,023 nodes) decodes.
    std::array<uint8_t, 512> nine;
    nine.fill(9);
    XpressStreamWriter complete(nine);
    for (uint32_t s : {65u, 66u, 67u}) complete.Symbol(s);
    EXPECT_EQ(Decode(complete.Finish(), 3), Text("ABC"));
}

TEST(XpressTreeBuild, ReturnsNullAboveTheNodeLimitAndABareRootForNoCodes) {
    XpressHuffmanNode nodes[kXpressMaxNodes];
    uint8_t table[256] = {};
    XpressHuffmanNode* root = XpressBuildHuffmanTree(table, nodes);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->child[0], nullptr);
    EXPECT_EQ(root->child[1], nullptr);

    std::fill(std::begin(table), std::end(table), 0xBB);  // all 11 bits
    EXPECT_EQ(XpressBuildHuffmanTree(table, nodes), nullptr);
}

TEST(XpressTreeBuild, CompareCodeLengthOrdersByLengthThenSymbol) {
    XpressCodeLength a{5, 3}, b{4, 3}, c{1, 4};
    EXPECT_LT(CompareCodeLength(&b, &a), 0);
    EXPECT_GT(CompareCodeLength(&a, &b), 0);
    EXPECT_LT(CompareCodeLength(&a, &c), 0);
    EXPECT_GT(CompareCodeLength(&c, &b), 0);
    EXPECT_EQ(CompareCodeLength(&a, &a), 0);
}

}  // namespace
