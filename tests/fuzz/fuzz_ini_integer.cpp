// The configuration's integer reading against a model of its accepted forms
// written another way: the text is split into blanks, sign, prefix and digits
// first, and the range is checked on the digit text, not by accumulating.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "app/IniNumber.h"

namespace {

int DigitValue(char16_t c, bool hex) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (hex && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (hex && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool StartsWith(std::u16string_view s, std::u16string_view p) { return s.substr(0, p.size()) == p; }

// The accepted forms: blanks, an optional sign, then decimal digits, or one
// of the prefixes "0x" "0X" "$" "x" "X" and hexadecimal digits. Decimal must
// lie in the signed 32-bit range; hexadecimal must fit in 32 bits and is a bit
// pattern, which a "-" negates (two's complement).
bool Model(std::u16string_view s, std::int32_t& value) {
  s.remove_prefix(std::min(s.find_first_not_of(u' '), s.size()));
  bool negative = false;
  if (StartsWith(s, u"+") || StartsWith(s, u"-")) {
    negative = s[0] == u'-';
    s.remove_prefix(1);
  }
  bool hex = true;
  if (StartsWith(s, u"0x") || StartsWith(s, u"0X"))
    s.remove_prefix(2);
  else if (StartsWith(s, u"$") || StartsWith(s, u"x") || StartsWith(s, u"X"))
    s.remove_prefix(1);
  else
    hex = false;
  if (s.empty()) return false;
  for (char16_t c : s)
    if (DigitValue(c, hex) < 0) return false;

  std::u16string_view digits = s.substr(std::min(s.find_first_not_of(u'0'), s.size()));
  if (hex) {
    if (digits.size() > 8) return false;
    std::uint32_t pattern = 0;
    for (char16_t c : digits) pattern = pattern << 4 | static_cast<std::uint32_t>(DigitValue(c, true));
    value = static_cast<std::int32_t>(negative ? ~pattern + 1 : pattern);
    return true;
  }
  const std::u16string_view bound = negative ? u"2147483648" : u"2147483647";
  if (digits.size() > bound.size() || (digits.size() == bound.size() && digits > bound)) return false;
  std::int64_t magnitude = 0;
  for (char16_t c : digits) magnitude = magnitude * 10 + DigitValue(c, false);
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = DecodeFuzzText(data, size);
  std::int32_t got = 0x5EED, want = 0x5EED;
  const bool ok = TryParseIniInteger(text, got);
  Check(ok == Model(text, want));
  if (ok) Check(got == want);
  return 0;
}
