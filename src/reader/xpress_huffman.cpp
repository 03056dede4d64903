#include "reader/xpress_huffman.h"

#include <cstdlib>
#include <cstring>

#include "reader/records.h"

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

bool XpressBitReader::Start(const uint8_t* input, uint32_t size) {
    data = input;
    storedSize = size;
    if (size < kXpressStreamStart) return false;
    window = (static_cast<uint32_t>(LoadU16(input + 256)) << 16) | LoadU16(input + 258);
    bits = 32;
    pos = kXpressStreamStart;
    return true;
}

bool XpressBitReader::Consume(uint32_t n) {
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

bool XpressBitReader::ReadByte(uint32_t& value) {
    if (pos >= storedSize) return false;
    value = data[pos++];
    return true;
}

bool XpressBitReader::ReadWord(uint32_t& value) {
    if (storedSize - pos < 2) return false;
    value = LoadU16(data + pos);
    pos += 2;
    return true;
}

void XpressHuffmanDecompress(const uint8_t* input, uint32_t storedSize, uint32_t n, uint8_t* output) {
    XpressBitReader reader;
    if (!reader.Start(input, storedSize)) return;
    XpressHuffmanNode nodes[kXpressMaxNodes];
    const XpressHuffmanNode* root = XpressBuildHuffmanTree(input, nodes);
    if (root == nullptr) return;

    uint32_t i = 0;
    while (i < n) {
        // One bit per step from the root down to a leaf.
        const XpressHuffmanNode* node = root;
        do {
            uint32_t bit = reader.window >> 31;
            if (!reader.Consume(1)) return;
            node = node->child[bit];
            if (node == nullptr) return;
        } while (node->isLeaf == 0);

        uint32_t symbol = node->symbol;
        if (symbol < 256) {
            output[i++] = static_cast<uint8_t>(symbol);
            continue;
        }

        uint32_t m = symbol - 256;
        uint32_t length = m & 15;
        uint32_t k = m >> 4;
        // The distance bits are taken before the length bytes are read and before
        // they are consumed: they follow the symbol in the bit stream, while the length
        // bytes stand at the reader's position after the words already loaded.
        uint32_t extra = k > 0 ? reader.Peek(k) : 0;
        if (length == 15) {
            uint32_t byte;
            if (!reader.ReadByte(byte)) return;
            length = byte + 15;
            if (byte == 255 && !reader.ReadWord(length)) return;
        }
        if (!reader.Consume(k)) return;
        length += 3;
        uint32_t distance = extra + (1u << k);

        // Byte by byte, so a distance shorter than the length repeats what was just
        // written; bytes that would come from before the output start keep their value.
        for (uint32_t c = 0; c < length; ++c) {
            if (i >= n) return;
            if (distance <= i) output[i] = output[i - distance];
            ++i;
        }
    }
}
