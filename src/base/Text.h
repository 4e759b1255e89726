#ifndef QM_BASE_TEXT_H
#define QM_BASE_TEXT_H

// UTF-16 text helpers shared by the whole program. Portable: no <windows.h>.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// True for the characters that trimming removes: U+0020 and every code below.
constexpr bool IsTrimChar(char16_t c) { return c <= u' '; }

// The text without characters <= U+0020 at either end.
std::u16string Trim(std::u16string_view s);

// ASCII letters A-Z lowered; every other character unchanged.
std::u16string LowerAscii(std::u16string_view s);

// Decimal digits of n.
std::u16string IntToText(std::int64_t n);

// The template with its first "%s" replaced by value (unchanged without one).
std::u16string FormatOne(std::u16string_view templ, std::u16string_view value);

// An error text as the error box shows it: a full stop appended when the last
// character's code is above that of the full stop.
std::u16string ErrorBoxText(std::u16string_view message);

// UTF-8 <-> UTF-16. Invalid input bytes become U+FFFD; unpaired surrogates
// encode as U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

// Splits text into lines at CR LF, lone CR and lone LF; a break at the very
// end adds no empty line and an empty text gives no line.
std::vector<std::u16string> SplitLines(std::u16string_view text);

// The path up to and including its last "\" (or drive colon); empty without.
std::u16string ExtractFilePath(std::u16string_view path);

// The part of path after its last "\" (or drive colon).
std::u16string ExtractFileName(std::u16string_view path);

#endif
