// Decoder of one compressed backup chunk (LZ77 + Huffman, one table for the whole chunk).
//
// A chunk's stored bytes are a 256-byte table of 512 four-bit code lengths (byte k: symbol
// 2k in the low nibble, 2k + 1 in the high one), then a bit stream of 16-bit little-endian
// words read from the most significant bit, with the extra length bytes of long matches
// standing between the words. Symbols 0-255 are literals; 256-511 are matches whose low
// nibble is the length and high nibble the number of distance bits.
#pragma once

#include <cstdint>

#include "reader/records.h"

// Decodes `storedSize` input bytes into output[0 .. n). Never fails: whatever stops
// the decode leaves the bytes written so far and the rest of the output as it was.
// Allocates nothing and is reentrant. Codes are resolved through a lookup table made
// from the chunk's code lengths; the output is exactly what walking the canonical tree
// below one bit at a time gives, on every input, well-formed or not.
void XpressHuffmanDecompress(const uint8_t* input, uint32_t storedSize, uint32_t n, uint8_t* output);

// Sizes of the coding.
constexpr uint32_t kXpressTableSize = 256;       // table bytes at the start of a chunk
constexpr uint32_t kXpressSymbolCount = 512;     // 256 literals, 256 matches
constexpr uint32_t kXpressMaxNodes = 1024;       // tree nodes available to one decode
constexpr uint32_t kXpressStreamStart = 260;     // table and the first two words

// One node of the decoding tree. The nodes of one decode live in one array of
// kXpressMaxNodes and refer to each other only.
struct XpressHuffmanNode {
    uint16_t symbol;                 // the symbol of a leaf
    int32_t isLeaf;                  // 1: leaf, 0: inner node
    XpressHuffmanNode* child[2];     // for bit 0 and bit 1; null where no branch exists
};

// One (symbol, code length) pair of the code assignment.
struct XpressCodeLength {
    uint16_t symbol;
    uint16_t length;
};

// Sort order of the code assignment (a qsort comparator over XpressCodeLength): by
// length ascending, equal lengths by symbol ascending.
int CompareCodeLength(const void* a, const void* b);

// Builds the canonical decoding tree of the 256 table bytes in `nodes` (an array of
// kXpressMaxNodes, cleared here) and returns the root. Returns null when the codes
// would need more than kXpressMaxNodes nodes; a table with no codes gives a bare root.
// The tree defines what every code decodes to; the decoder builds it only for tables
// whose lengths give more codes than fit, where later codes replace earlier ones.
XpressHuffmanNode* XpressBuildHuffmanTree(const uint8_t* table, XpressHuffmanNode* nodes);

// The bit stream of one chunk: a 32-bit window whose first bit is bit 31, holding 16 to
// 32 valid bits whenever a symbol begins, refilled one 16-bit word at a time.
struct XpressBitReader {
    const uint8_t* data;   // the stored bytes
    uint32_t storedSize;   // how many there are; nothing at or past it is read
    uint32_t pos;          // next input byte not yet taken into the window
    uint32_t window;
    int32_t bits;          // valid bits at the top of the window

    // Loads the first two words; false when the stored bytes hold fewer than the table
    // and those two words.
    bool Start(const uint8_t* input, uint32_t size) {
        data = input;
        storedSize = size;
        if (size < kXpressStreamStart) return false;
        window = (static_cast<uint32_t>(LoadU16(input + 256)) << 16) | LoadU16(input + 258);
        bits = 32;
        pos = kXpressStreamStart;
        return true;
    }
    // The next k bits (1 to 15) as a number, without consuming them.
    uint32_t Peek(uint32_t k) const { return window >> (32 - k); }
    // Drops n bits (0 to 15) and, when fewer than 16 remain, loads the next word.
    // False when that word would lie beyond the stored bytes: the input is exhausted.
    // Dropping a whole code at once loads every word at the same point as dropping
    // its bits one at a time, and fails exactly when one of those steps would.
    bool Consume(uint32_t n) {
        window <<= n;
        bits -= static_cast<int32_t>(n);
        if (bits < 16) {
            if (storedSize - pos < 2) return false;
            window += static_cast<uint32_t>(LoadU16(data + pos)) << (16 - bits);
            pos += 2;
            bits += 16;
        }
        return true;
    }
    // Takes one byte at the reader's position; false when none is left.
    bool ReadByte(uint32_t& value) {
        if (pos >= storedSize) return false;
        value = data[pos++];
        return true;
    }
    // Takes one 16-bit little-endian word at the reader's position; false when none is left.
    bool ReadWord(uint32_t& value) {
        if (storedSize - pos < 2) return false;
        value = LoadU16(data + pos);
        pos += 2;
        return true;
    }
};
