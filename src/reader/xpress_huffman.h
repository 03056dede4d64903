// Decoder of one compressed backup chunk (LZ77 + Huffman, one table for the whole chunk).
#pragma once

#include <cstdint>

// Decodes `storedSize` input bytes into output[0 .. n). Never fails: whatever stops
// the decode leaves the bytes written so far and the rest of the output as it was.
// Allocates nothing and is reentrant.
void XpressHuffmanDecompress(const uint8_t* input, uint32_t storedSize, uint32_t n, uint8_t* output);
