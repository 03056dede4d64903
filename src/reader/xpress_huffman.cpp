#include "reader/xpress_huffman.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "reader/records.h"

// Match copies move 8-byte words and place a word's low bytes first.
static_assert(std::endian::native == std::endian::little, "the match copy assumes a little-endian machine");

int CompareCodeLength(const void* a, const void* b) {
    const auto* x = static_cast<const XpressCodeLength*>(a);
    const auto* y = static_cast<const XpressCodeLength*>(b);
    if (x->length != y->length) return x->length < y->length ? -1 : 1;
    if (x->symbol != y->symbol) return x->symbol < y->symbol ? -1 : 1;
    return 0;
}

XpressHuffmanNode* XpressBuildHuffmanTree(const uint8_t* table, XpressHuffmanNode* nodes) {
    for (uint32_t i = 0; i < kXpressMaxNodes; ++i) nodes[i] = XpressHuffmanNode{0, 0, {nullptr, nullptr}};

    XpressCodeLength pairs[kXpressSymbolCount];
    for (uint32_t k = 0; k < kXpressTableSize; ++k) {
        pairs[2 * k] = XpressCodeLength{static_cast<uint16_t>(2 * k), static_cast<uint16_t>(table[k] & 15)};
        pairs[2 * k + 1] = XpressCodeLength{static_cast<uint16_t>(2 * k + 1), static_cast<uint16_t>(table[k] >> 4)};
    }
    std::qsort(pairs, kXpressSymbolCount, sizeof pairs[0], CompareCodeLength);

    XpressHuffmanNode* root = &nodes[0];
    uint32_t code = 0;
    uint32_t previousLength = 1;
    uint32_t nextFree = 1;
    for (const XpressCodeLength& pair : pairs) {
        uint32_t length = pair.length;
        if (length == 0) continue;  // no code; these sort first
        code <<= length - previousLength;

        if (nextFree == kXpressMaxNodes) return nullptr;
        XpressHuffmanNode* leaf = &nodes[nextFree++];
        leaf->symbol = pair.symbol;
        leaf->isLeaf = 1;

        // Walk the code's leading bits, most significant first, making inner nodes where
        // none stand. A path through a leaf is built under it and is never reached.
        XpressHuffmanNode* node = root;
        for (uint32_t bit = length - 1; bit >= 1; --bit) {
            XpressHuffmanNode*& next = node->child[(code >> bit) & 1];
            if (next == nullptr) {
                if (nextFree == kXpressMaxNodes) return nullptr;
                next = &nodes[nextFree++];
            }
            node = next;
        }
        node->child[code & 1] = leaf;  // a later code replaces an earlier one

        ++code;
        previousLength = length;
    }
    return root;
}

namespace {

constexpr uint32_t kMaxCodeLength = 15;
constexpr uint32_t kRootBits = 12;                           // codes this long or shorter resolve in one look-up
constexpr uint32_t kSubBits = kMaxCodeLength - kRootBits;    // the rest of a longer code
constexpr uint32_t kMaxSubtables = kXpressSymbolCount;       // one per code at most

// What the next bits of the stream decode to. A leaf: (symbol << 6) | code length, so
// that a shift by the entry's low six bits, as the machine shifts 64 bits, drops the
// code. kLink + t: look the remaining bits up in second-level table t. kEnd: the decode
// ends within these bits (the code leads to a missing branch; every such end leaves
// the same output, wherever it falls).
using Entry = uint16_t;
constexpr Entry kLink = 0x8000;
constexpr Entry kEnd = 0xFFFF;
constexpr uint32_t kSymbolShift = 6;

Entry Leaf(uint32_t symbol, uint32_t length) { return static_cast<Entry>((symbol << kSymbolShift) | length); }
uint32_t CodeLength(Entry e) { return e & ((1u << kSymbolShift) - 1); }

// The lookup table of one chunk: the first kRootBits of the window pick a root entry;
// longer codes go on with kSubBits more bits in a second-level table of their prefix.
struct DecodeTable {
    Entry root[1u << kRootBits];
    Entry sub[kMaxSubtables << kSubBits];
    uint32_t subtables;

    void Clear() {
        std::fill(std::begin(root), std::end(root), kEnd);
        subtables = 0;
    }

    // Makes every window that begins with `code` (of `length` bits) decode to `entry`.
    void Place(uint32_t code, uint32_t length, Entry entry) {
        if (length <= kRootBits) {
            std::fill_n(root + (code << (kRootBits - length)), 1u << (kRootBits - length), entry);
            return;
        }
        Entry& link = root[code >> (length - kRootBits)];
        if (link == kEnd) {
            std::fill_n(sub + (subtables << kSubBits), 1u << kSubBits, kEnd);
            link = static_cast<Entry>(kLink + subtables++);
        }
        const uint32_t low = (code << (kMaxCodeLength - length)) & ((1u << kSubBits) - 1);
        std::fill_n(sub + ((link - kLink) << kSubBits) + low, 1u << (kMaxCodeLength - length), entry);
    }

    // The leaf for the code at the top of `window`; false when the decode ends there.
    bool Lookup(uint64_t window, Entry& e) const {
        e = root[window >> (64 - kRootBits)];
        if (e < kLink) return true;
        if (e == kEnd) return false;
        e = sub[((e - kLink) << kSubBits) | ((window >> (64 - kMaxCodeLength)) & ((1u << kSubBits) - 1))];
        return e != kEnd;
    }

    // Copies what the tree decodes under `node`, reached by `code` of `depth` bits.
    void PlaceTree(const XpressHuffmanNode* node, uint32_t code, uint32_t depth) {
        for (uint32_t bit = 0; bit < 2; ++bit) {
            const XpressHuffmanNode* child = node->child[bit];
            const uint32_t childCode = (code << 1) | bit;
            if (child == nullptr) continue;  // stays kEnd
            if (child->isLeaf != 0) {
                Place(childCode, depth + 1, Leaf(child->symbol, depth + 1));
            } else if (depth + 1 < kMaxCodeLength) {
                PlaceTree(child, childCode, depth + 1);
            }  // no leaf lies deeper than the longest code
        }
    }
};

// Fills `table` from the chunk's 256 table bytes as the canonical tree would decode;
// false when the tree would need more than kXpressMaxNodes nodes (nothing is decoded).
bool BuildTable(const uint8_t* lengths, DecodeTable& table) {
    uint32_t count[kMaxCodeLength + 1] = {};
    for (uint32_t k = 0; k < kXpressTableSize; ++k) {
        ++count[lengths[k] & 15];
        ++count[lengths[k] >> 4];
    }
    // first[L]: the code of the first symbol of length L, as the canonical assignment
    // gives it (each length goes on from the last shorter code shifted left).
    uint32_t first[kMaxCodeLength + 2] = {};
    for (uint32_t length = 1; length <= kMaxCodeLength; ++length)
        first[length + 1] = (first[length] + count[length]) << 1;
    // The codes fill [0, end) of the 15-bit code space in order; past 2^15 some code
    // overflows its length and later codes replace earlier ones in the tree.
    const uint32_t end = first[kMaxCodeLength + 1] >> 1;
    table.Clear();

    if (end > (1u << kMaxCodeLength)) {
        XpressHuffmanNode nodes[kXpressMaxNodes];
        const XpressHuffmanNode* root = XpressBuildHuffmanTree(lengths, nodes);
        if (root == nullptr) return false;
        table.PlaceTree(root, 0, 0);
        return true;
    }

    // A prefix code: the tree has the root, a leaf per code, and an inner node for every
    // distinct proper prefix. The codes longer than d bits fill [first[d + 1] << (14 - d),
    // end) in 15-bit terms, so their d-bit prefixes form one run.
    uint32_t nodes = 1 + kXpressSymbolCount - count[0];
    for (uint32_t d = 1; d < kMaxCodeLength; ++d) {
        const uint32_t from = first[d + 1] << (kMaxCodeLength - 1 - d);
        if (from < end) nodes += ((end - 1) >> (kMaxCodeLength - d)) - (from >> (kMaxCodeLength - d)) + 1;
    }
    if (nodes > kXpressMaxNodes) return false;

    for (uint32_t symbol = 0; symbol < kXpressSymbolCount; ++symbol) {
        const uint32_t length = (lengths[symbol / 2] >> (4 * (symbol & 1))) & 15;
        if (length != 0) table.Place(first[length]++, length, Leaf(symbol, length));
    }
    return true;
}

// The reader of the slow loop: XpressBitReader with every step tested against the end
// of the stored bytes.
struct CheckedReader {
    XpressBitReader& reader;

    uint64_t Window() const { return uint64_t{reader.window} << 32; }
    bool ConsumeCode(Entry e) { return reader.Consume(CodeLength(e)); }
    // Drops a match's code, then takes its k distance bits (0 to 15) into `extra`.
    bool ConsumeCodeAndBits(Entry e, uint32_t k, uint32_t& extra) {
        if (!ConsumeCode(e)) return false;
        extra = Peek(k);
        return reader.Consume(k);
    }
    // The next k bits (0 to 15), not consumed.
    uint32_t Peek(uint32_t k) const { return (reader.window >> 1) >> (31 - k); }
    bool Consume(uint32_t n) { return reader.Consume(n); }
    bool ReadByte(uint32_t& value) { return reader.ReadByte(value); }
    bool ReadWord(uint32_t& value) { return reader.ReadWord(value); }
};

// Stored bytes that one symbol may read in the fast loop: at most, a match with length
// bytes moves the reader on by a word (its code's refill), 3 length bytes and a word
// (its distance bits' refill), and then reads the two words there.
constexpr uint32_t kLookaheadMargin = 2 + 3 + 2 + 4;

// The reader of the fast loop: XpressBitReader's window and loads, with the window in
// the top half of a 64-bit buffer and the two words that the next refills take already
// standing under its valid bits. A refill then only counts, the next code's look-up
// never waits on a load, and a match's code and distance bits go in one step, the
// words they take in being the same whichever way they are counted. The bits under
// the window's valid ones, which nothing reads, are all that differ. Used while at
// least kLookaheadMargin bytes remain at `in`.
struct LookaheadReader {
    const uint8_t* in;  // data + XpressBitReader::pos
    uint32_t shift;     // 32 - XpressBitReader::bits: where the words under the window begin
    uint64_t top;       // the window's valid bits at the top
    uint64_t buffer;    // those bits, and under them the words at in and in + 2

    explicit LookaheadReader(const XpressBitReader& r)
        : in(r.data + r.pos), shift(32 - static_cast<uint32_t>(r.bits)), top(uint64_t{r.window} << 32) {
        Reload();
    }

    // Gives the state back; the window's bits below the valid ones are zero again.
    void HandBack(XpressBitReader& r) const {
        r.pos = static_cast<uint32_t>(in - r.data);
        r.bits = static_cast<int32_t>(32 - shift);
        r.window = static_cast<uint32_t>((top >> (32 + shift)) << shift);
    }

    uint64_t Window() const { return top; }

    // Shifting by the whole entry lets the machine's own masking of a 64-bit shift
    // count take the code length.
    bool ConsumeCode(Entry e) { return Drop(buffer << (e & 63), CodeLength(e)); }
    bool ConsumeCodeAndBits(Entry e, uint32_t k, uint32_t& extra) {
        const uint64_t afterCode = buffer << (e & 63);
        extra = static_cast<uint32_t>((afterCode >> 1) >> (63 - k));
        return Drop(afterCode << k, CodeLength(e) + k);
    }
    uint32_t Peek(uint32_t k) const { return static_cast<uint32_t>((top >> 1) >> (63 - k)); }
    bool Consume(uint32_t n) { return Drop(buffer << n, n); }

    bool ReadByte(uint32_t& value) {
        value = *in++;
        Reload();
        return true;
    }

    bool ReadWord(uint32_t& value) {
        value = LoadU16(in);
        in += 2;
        Reload();
        return true;
    }

private:
    // The words at p and p + 2 as they stand in the stream: the first one leading.
    static uint64_t TwoWords(const uint8_t* p) { return std::rotl(LoadU32(p), 16); }

    // Drops n bits (up to 30). XpressBitReader would take in a word each time fewer than
    // 16 bits remained: one when 0 to 15 remain at the end, two when fewer than none.
    // (At most 31 bits are valid when something is dropped: 32 only at the start.)
    bool Drop(uint64_t shifted, uint32_t n) {
        const uint32_t dropped = shift + n;  // 32 - the bits left, 1 to 46
        const uint32_t words = (dropped - 1) >> 4;
        in += 2 * words;
        shift = dropped - 16 * words;
        top = shifted;  // the words taken in stand there already
        // What stands under the valid bits is the stream that follows them, so the two
        // words at `in` go over it unchanged where they meet it.
        buffer = shifted | (TwoWords(in) << shift);
        return true;
    }

    // Puts the two words at `in` under the valid bits, in place of whatever stood there.
    void Reload() {
        top = (top >> (32 + shift)) << (32 + shift);
        buffer = top | (TwoWords(in) << shift);
    }
};

// Unaligned moves of 8 and 16 bytes.
template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(uint8_t* p, const T& v) {
    std::memcpy(p, &v, sizeof v);
}

struct Block {
    uint8_t bytes[16];
};

// For a distance d below 8: the smallest multiple of d that is 8 or more. Once the
// first 8 bytes of such a match stand, every later byte equals the one that far back.
constexpr uint32_t kRepeatStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// Room that CopyMatch needs after a match.
constexpr uint32_t kCopySlack = sizeof(Block);

// Copies a match of `length` bytes from `distance` back to dst, exactly as byte by byte
// would (a short distance repeats the bytes just written). It moves 16 or 8 bytes at a
// time and may run up to 15 bytes past the match, so it puts back the 16 bytes that
// follow it: dst + length + kCopySlack must lie in the output, and so must the 8 bytes
// before dst.
[[gnu::always_inline]] inline void CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length) {
    const Block after = Load<Block>(dst + length);
    if (distance >= 16) {
        uint32_t k = 0;
        do {
            Store(dst + k, Load<Block>(dst + k - distance));
            k += 16;
        } while (k < length);
    } else {
        uint32_t step = distance;
        uint32_t k = 0;
        if (distance < 8) {
            // The last `distance` bytes, repeated to fill a word.
            uint64_t word = Load<uint64_t>(dst - 8) >> (8 * (8 - distance));
            for (uint32_t filled = distance; filled < 8; filled *= 2) word |= word << (8 * filled);
            Store(dst, word);
            step = kRepeatStep[distance];
            k = 8;
        }
        for (; k < length; k += 8) Store(dst + k, Load<uint64_t>(dst + k - step));
    }
    Store(dst + length, after);
}

// The output of one decode: bytes start .. end, the next one at `next`.
struct Output {
    uint8_t* const start;
    uint8_t* next;
    uint8_t* const end;
};

// Writes a match of `length` bytes from `distance` back, as byte by byte would; false
// when the output's end cuts it (the decode ends).
[[gnu::always_inline]] inline bool WriteMatch(Output& o, uint32_t distance, uint32_t length) {
    const size_t written = static_cast<size_t>(o.next - o.start);
    const size_t room = static_cast<size_t>(o.end - o.next);
    // The source and 8 bytes before it in the output (CopyMatch wants 8 before dst).
    const bool sourceInside = written >= size_t{distance} + 8;
    if (sourceInside && length + kCopySlack <= room) [[likely]] {
        CopyMatch(o.next, distance, length);
        o.next += length;
        return true;
    }
    if (!sourceInside) {
        // Near the output's start: byte by byte, passing over bytes whose source lies
        // before the start.
        for (uint32_t c = 0; c < length; ++c) {
            if (o.next == o.end) return false;
            if (distance <= static_cast<size_t>(o.next - o.start)) *o.next = *(o.next - distance);
            ++o.next;
        }
        return true;
    }
    // The output ends inside the match or soon after it: copied as above up to
    // kCopySlack bytes before the match's (or the output's) end, then byte by byte.
    uint8_t* const end = o.next + std::min<size_t>(length, room);
    if (end - o.next > kCopySlack) {
        CopyMatch(o.next, distance, static_cast<uint32_t>(end - o.next - kCopySlack));
        o.next = end - kCopySlack;
    }
    for (; o.next < end; ++o.next) *o.next = *(o.next - distance);
    return length <= room;
}

// Decodes one symbol and writes its output; false when the decode ends.
template <typename Reader>
[[gnu::always_inline]] inline bool DecodeSymbol(Reader& reader, const DecodeTable& table, Output& o) {
    Entry entry;
    if (!table.Lookup(reader.Window(), entry)) return false;
    if (entry < Leaf(256, 0)) {
        if (!reader.ConsumeCode(entry)) return false;
        *o.next++ = static_cast<uint8_t>(entry >> kSymbolShift);
        return true;
    }

    const uint32_t m = (entry >> kSymbolShift) - 256;
    const uint32_t k = m >> 4;  // distance bits
    uint32_t length = m & 15;
    uint32_t extra;
    if (length < 15) {
        if (!reader.ConsumeCodeAndBits(entry, k, extra)) return false;
    } else {
        // The distance bits follow the code in the stream; the length bytes stand at the
        // reader's position, after the words already loaded, and are read in between.
        if (!reader.ConsumeCode(entry)) return false;
        extra = reader.Peek(k);
        uint32_t byte;
        if (!reader.ReadByte(byte)) return false;
        length = byte + 15;
        if (byte == 255 && !reader.ReadWord(length)) return false;
        if (!reader.Consume(k)) return false;
    }
    return WriteMatch(o, extra + (1u << k), length + 3);
}

}  // namespace

void XpressHuffmanDecompress(const uint8_t* input, uint32_t storedSize, uint32_t n, uint8_t* output) {
    XpressBitReader reader;
    if (!reader.Start(input, storedSize)) return;
    DecodeTable table;
    if (!BuildTable(input, table)) return;

    Output o{output, output, output + n};
    if (storedSize - reader.pos >= kLookaheadMargin) {
        const uint8_t* const last = input + storedSize - kLookaheadMargin;  // where the fast loop may start a symbol
        LookaheadReader fast(reader);
        while (o.next < o.end && fast.in <= last) {
            if (!DecodeSymbol(fast, table, o)) return;
        }
        fast.HandBack(reader);
    }
    CheckedReader careful{reader};
    while (o.next < o.end) {
        if (!DecodeSymbol(careful, table, o)) return;
    }
}
