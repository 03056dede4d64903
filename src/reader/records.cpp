#include "reader/records.h"

#include <cstdio>

DatabaseFileRecord MakeDatabaseFileRecord(const SqlFileDescriptor& entry, std::u16string name) {
    DatabaseFileRecord record;
    record.nFileType = entry.FileType();
    record.strPhysicalName = std::move(name);
    record.nSize = entry.SizeInBytes();
    record.descriptor = entry;
    return record;
}

MtfDateTime DecodeMtfDateTime(const uint8_t b[5]) {
    // 40 bits, most significant first: year 14, month 4, day 5, hour 5, minute 6, second 6.
    MtfDateTime t;
    t.year = b[0] * 64 + (b[1] >> 2);
    t.month = (b[1] & 3) * 4 + (b[2] >> 6);
    t.day = (b[2] >> 1) & 31;
    t.hour = (b[2] & 1) * 16 + (b[3] >> 4);
    t.minute = (b[3] & 15) * 4 + (b[4] >> 6);
    t.second = b[4] & 63;
    return t;
}

std::u16string FormatMtfDateTime(const uint8_t b[5]) {
    const MtfDateTime t = DecodeMtfDateTime(b);
    char text[64];
    int len = std::snprintf(text, sizeof text, "%d-%d-%d::%d:%d:%d", t.day, t.month, t.year, t.hour, t.minute,
                            t.second);
    return std::u16string(text, text + len);
}

std::u16string Utf16LeText(const uint8_t* data, size_t size) {
    // Counted first, so that the text holds no more memory than its units: a long
    // field with an early NUL gives a short text.
    size_t units = 0;
    for (size_t i = 0; i < size; i += 2, ++units) {
        if (data[i] == 0 && (i + 1 >= size || data[i + 1] == 0)) break;
    }
    std::u16string text(units, u'\0');
    for (size_t u = 0; u < units; ++u) {
        const size_t i = 2 * u;
        text[u] = static_cast<char16_t>(data[i] | ((i + 1 < size ? data[i + 1] : 0) << 8));
    }
    return text;
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp;
        size_t extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else { out.push_back(0xFFFD); ++i; continue; }
        bool ok = true;
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!ok) { out.push_back(0xFFFD); ++i; continue; }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}
