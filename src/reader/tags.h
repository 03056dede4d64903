// Tag tests. Block tags (and the "MSSQLBAK" signature) are compared as text:
// the field's bytes up to the first NUL, exactly and case-sensitively, so
// "TAP\0" is not "TAPE". Stream ids and catalog sub-record tags are compared as
// their four raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// `field` holds `width` bytes read from the file; `text` is the constant.
inline bool TagIs(const uint8_t* field, size_t width, const char* text) {
    size_t len = 0;
    while (len < width && field[len] != 0) ++len;
    return std::strlen(text) == len && std::memcmp(field, text, len) == 0;
}

inline bool BlockTagIs(const uint8_t* field, const char* text) { return TagIs(field, 4, text); }

inline bool RawTagIs(const uint8_t* field, const char (&tag)[5]) { return std::memcmp(field, tag, 4) == 0; }
