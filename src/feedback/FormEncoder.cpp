#include "feedback/FormEncoder.h"

#include <cstdint>

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsKeptAsIs(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'*' || c == u'-' ||
         c == u'.' || c == u'_';
}

void AppendPercentByte(std::string& out, unsigned byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[(byte >> 4) & 0xF];
  out += kHex[byte & 0xF];
}

void AppendPercentUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    AppendPercentByte(out, cp);
  } else if (cp < 0x800) {
    AppendPercentByte(out, 0xC0 | (cp >> 6));
    AppendPercentByte(out, 0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    AppendPercentByte(out, 0xE0 | (cp >> 12));
    AppendPercentByte(out, 0x80 | ((cp >> 6) & 0x3F));
    AppendPercentByte(out, 0x80 | (cp & 0x3F));
  } else {
    AppendPercentByte(out, 0xF0 | (cp >> 18));
    AppendPercentByte(out, 0x80 | ((cp >> 12) & 0x3F));
    AppendPercentByte(out, 0x80 | ((cp >> 6) & 0x3F));
    AppendPercentByte(out, 0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string StripFormChars(std::u16string_view text) {
  std::u16string r;
  r.reserve(text.size());
  for (char16_t c : text)
    if (c != u'&' && c != u'#') r += c;
  return r;
}

std::vector<std::u16string> BuildFeedbackForm(std::u16string_view email, std::u16string_view version,
                                              std::u16string_view message, std::u16string_view appName) {
  return {u"email=" + std::u16string(email), u"ver=" + std::u16string(version), u"info=" + StripFormChars(message),
          u"app_title=" + std::u16string(appName)};
}

std::string EncodeFormComponent(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u' ') {
      out += '+';
    } else if (IsKeptAsIs(c)) {
      out += static_cast<char>(c);
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const std::uint32_t cp = 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendPercentUtf8(out, cp);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      // No UTF-8 form: the charset conversion would give "?", which is sent
      // as a numeric character reference instead.
      out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
    } else {
      AppendPercentUtf8(out, c);
    }
  }
  return out;
}

std::string EncodeForm(const std::vector<std::u16string>& lines) {
  std::string body;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) body += '&';
    const std::u16string_view line = lines[i];
    const size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) {
      body += EncodeFormComponent(line);
    } else {
      body += EncodeFormComponent(line.substr(0, eq));
      body += '=';
      body += EncodeFormComponent(line.substr(eq + 1));
    }
  }
  return body;
}
