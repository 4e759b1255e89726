#ifndef QM_APP_ININUMBER_H
#define QM_APP_ININUMBER_H

// How the configuration reads integers. Portable.

#include <cstdint>
#include <string_view>

// Converts text to a 32-bit integer: leading blanks, an optional "+" or "-",
// then decimal digits (within the signed 32-bit range) or hexadecimal digits
// after "$", "x", "X", "0x" or "0X" (any 32-bit pattern, FFFFFFFF = -1).
// Anything else, the empty text and trailing characters give false.
bool TryParseIniInteger(std::u16string_view text, std::int32_t& value);

#endif
