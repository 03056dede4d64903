// Texts between the reader (UTF-16 kept exactly as read) and the window.
#pragma once

#include <QString>
#include <string>

inline QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }
inline std::u16string ToU16(const QString& text) { return text.toStdU16String(); }
