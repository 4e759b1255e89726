// The language table's line readers and lookup over tables built from the
// input: the readers give trimmed parts of their line, a value of at most 255
// characters, and the lookup gives what a plain scan of the table finds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "ui/Lang.h"

namespace {

bool Blank(char16_t c) { return c <= u' '; }

bool IsTrimmed(const std::u16string& s) { return s.empty() || (!Blank(s.front()) && !Blank(s.back())); }

std::u16string Stripped(std::u16string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return std::u16string(s);
}

// The readers as their contract states them, for one line.
void CheckLine(const std::u16string& line) {
  const std::u16string key = LineKey(line), value = LineValue(line);
  Check(IsTrimmed(key) && IsTrimmed(value));
  Check(value.size() <= 255);
  Check(key.find(u'=') == std::u16string::npos);
  const std::u16string t = Stripped(line);
  const size_t eq = t.find(u'=');
  if (eq == std::u16string::npos) {
    Check(key.empty());
    Check(value == Stripped(std::u16string_view(t).substr(0, 255)));
  } else {
    Check(key == Stripped(std::u16string_view(t).substr(0, eq)));
    const std::u16string_view after = std::u16string_view(t).substr(eq + 1);
    Check(value == Stripped(after.substr(0, 255)));
    // Nothing of the value is lost below the cut.
    if (after.size() <= 255) Check(value == Stripped(after));
  }
}

// The lookup as a plain scan: the section starts at its "#" header (or at the
// first line), and the first line from there whose key matches gives the value.
std::u16string ScanLookup(const TStrings& table, int index, std::u16string_view key) {
  const std::string digits = std::to_string(index);
  const std::u16string header = u"[#lang" + std::u16string(digits.begin(), digits.end()) + u"]";
  size_t from = 0;
  while (from < table.size() && Stripped(table[from]) != header) ++from;
  if (from == table.size()) from = 0;
  const std::u16string wanted = Stripped(key);
  for (size_t i = from; i < table.size(); ++i) {
    const std::u16string t = Stripped(table[i]);
    const size_t eq = t.find(u'=');
    const std::u16string k =
        eq == std::u16string::npos ? std::u16string() : Stripped(std::u16string_view(t).substr(0, eq));
    if (k == wanted) return LineValue(table[i]);
  }
  return std::u16string();
}

}  // namespace

// Layout: one byte for the language index (-3 to 8), one for how the table is
// made, then lines split at "\n": the first is the key, the others the lines.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int index = data[0] % 12 - 3;
  const int mode = data[1] % 4;
  TStrings lines;
  const std::u16string text = DecodeFuzzText(data + 2, size - 2);
  for (size_t from = 0;;) {
    const size_t nl = text.find(u'\n', from);
    lines.push_back(text.substr(from, nl == std::u16string::npos ? std::u16string::npos : nl - from));
    if (nl == std::u16string::npos) break;
    from = nl + 1;
  }
  const std::u16string key = lines.front();
  lines.erase(lines.begin());

  // 0: the input's lines alone; 1: the real table, then them; 2: them, then
  // the real table; 3: the real table with its lines replaced by them in turn.
  const TStrings real = LanguageTableLines();
  TStrings table = mode == 0 ? TStrings() : real;
  switch (mode) {
    case 0:
    case 1:
      table.insert(table.end(), lines.begin(), lines.end());
      break;
    case 2:
      table.insert(table.begin(), lines.begin(), lines.end());
      break;
    default:
      for (size_t i = 0; i < lines.size(); ++i) table[(i * 7 + data[1]) % table.size()] = lines[i];
  }

  for (const auto& line : lines) CheckLine(line);
  CheckLine(key);
  const std::u16string got = GetLangValue(table, index, key);
  Check(IsTrimmed(got) && got.size() <= 255);
  Check(got == ScanLookup(table, index, key));
  return 0;
}
