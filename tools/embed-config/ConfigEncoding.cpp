#include "embed-config/ConfigEncoding.h"

#include "base/Text.h"

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

// 0x80..0xFF of the code pages; a byte a code page leaves undefined reads as
// U+0080..U+009F of its value, as MultiByteToWideChar gives it.
constexpr char16_t Cp1251[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я
};
constexpr char16_t Cp1250[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};
constexpr char16_t Cp1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    // 0xA0..0xFF: Latin-1 itself
};

char16_t ReadByte(unsigned char b, int codePage) {
  if (b < 0x80) return b;
  switch (codePage) {
    case 1251:
      return b >= 0xC0 ? static_cast<char16_t>(0x0410 + (b - 0xC0)) : Cp1251[b - 0x80];
    case 1250:
      return Cp1250[b - 0x80];
    default:
      return b >= 0xA0 ? b : Cp1252[b - 0x80];
  }
}

bool HasHighByte(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// The reader's blanks around names and values (CR and ^Z among them).
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> ByteLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const size_t end = bytes.find_first_of("\r\n");
    lines.push_back(bytes.substr(0, end));
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

// The name of a section line "[name]", or nothing.
bool SectionName(std::string_view line, std::string_view& name) {
  line = TrimBlanks(line);
  const size_t close = line.find(']');
  if (line.empty() || line.front() != '[' || close == std::string_view::npos) return false;
  name = TrimBlanks(line.substr(1, close - 1));
  return true;
}

}  // namespace

TConfigEncoding DetectConfigEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return TConfigEncoding::Utf16Le;
  if (bytes.starts_with("\xFE\xFF")) return TConfigEncoding::Utf16Be;
  if (bytes.starts_with(Utf8Mark)) return TConfigEncoding::Utf8Bom;
  if (bytes.find('\0') != std::string_view::npos) return TConfigEncoding::Utf16NoBom;
  if (!HasHighByte(bytes)) return TConfigEncoding::Ascii;
  return Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes ? TConfigEncoding::Utf8 : TConfigEncoding::Ansi;
}

namespace {

// Each encoding's name in the report and its identifier in the JSON, in the
// order of TConfigEncoding.
struct TEncodingText {
  const char16_t* Id;
  const char16_t* Name;
};
constexpr TEncodingText EncodingTexts[] = {
    {u"ascii", u"ASCII, which reads the same under every code page"},
    {u"utf-16le", u"UTF-16 LE with a byte-order mark, which reads the same under every code page"},
    {u"utf-8", u"UTF-8 without a byte-order mark, read in the user's ANSI code page"},
    {u"ansi", u"ANSI (8-bit, no byte-order mark), read in the user's ANSI code page"},
    {u"utf-8-bom",
     u"UTF-8 with a byte-order mark, which Windows does not recognise: read in the user's ANSI code page"},
    {u"utf-16be", u"UTF-16 BE with a byte-order mark, which Windows does not recognise: nothing is read"},
    {u"utf-16-no-bom", u"UTF-16 without a byte-order mark: nothing is read"},
};

const TEncodingText& TextOf(TConfigEncoding encoding) { return EncodingTexts[static_cast<int>(encoding)]; }

}  // namespace

std::u16string EncodingName(TConfigEncoding encoding) { return TextOf(encoding).Name; }

std::u16string EncodingId(TConfigEncoding encoding) { return TextOf(encoding).Id; }

bool ReadsByCodePage(TConfigEncoding encoding) {
  return encoding == TConfigEncoding::Utf8 || encoding == TConfigEncoding::Ansi || encoding == TConfigEncoding::Utf8Bom;
}

std::u16string ReadInCodePage(std::string_view bytes, int codePage) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char c : bytes) text += ReadByte(static_cast<unsigned char>(c), codePage);
  return text;
}

std::vector<TCodePageText> CodePageDependentText(std::string_view bytes) {
  std::vector<TCodePageText> found;
  bool inSection = false;
  std::string_view section;
  for (const std::string_view line : ByteLines(bytes)) {
    std::string_view name;
    if (SectionName(line, name)) {
      inSection = true;
      section = name;
      if (HasHighByte(name)) found.push_back({std::string(name), {}, true, std::string(TrimBlanks(line))});
      continue;
    }
    const std::string_view text = TrimBlanks(line);
    if (!inSection || text.empty() || text.front() == ';' || !HasHighByte(text)) continue;
    const size_t eq = text.find('=');
    const std::string_view key = TrimBlanks(text.substr(0, eq));
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : TrimBlanks(text.substr(eq + 1));
    found.push_back(
        {std::string(section), std::string(key), HasHighByte(key), std::string(HasHighByte(key) ? text : value)});
  }
  return found;
}

bool SectionBehindUtf8Mark(std::string_view bytes, std::string& section, std::string& line) {
  if (!bytes.starts_with(Utf8Mark)) return false;
  const std::string_view first = ByteLines(bytes).front();
  std::string_view name;
  if (!SectionName(first.substr(Utf8Mark.size()), name)) return false;
  section = name;
  line = TrimBlanks(first);
  return true;
}
