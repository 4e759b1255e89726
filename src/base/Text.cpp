#include "base/Text.h"

std::u16string Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsTrimChar(s[b])) ++b;
  while (e > b && IsTrimChar(s[e - 1])) --e;
  return std::u16string(s.substr(b, e - b));
}

std::u16string LowerAscii(std::u16string_view s) {
  std::u16string r(s);
  for (auto& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return r;
}

std::u16string IntToText(std::int64_t n) {
  std::u16string r;
  const bool neg = n < 0;
  std::uint64_t u = neg ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  do {
    r.insert(r.begin(), static_cast<char16_t>(u'0' + u % 10));
    u /= 10;
  } while (u);
  if (neg) r.insert(r.begin(), u'-');
  return r;
}

std::u16string FormatOne(std::u16string_view templ, std::u16string_view value) {
  std::u16string r(templ);
  const size_t p = r.find(u"%s");
  if (p != std::u16string::npos) r.replace(p, 2, value);
  return r;
}

std::u16string ErrorBoxText(std::u16string_view message) {
  std::u16string r(message);
  if (!r.empty() && r.back() > u'.') r += u'.';
  return r;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string r;
  r.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    const unsigned c = byte(i);
    unsigned cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else {
      size_t need = 0;
      unsigned min = 0;
      if ((c & 0xE0) == 0xC0) {
        need = 1;
        cp = c & 0x1F;
        min = 0x80;
      } else if ((c & 0xF0) == 0xE0) {
        need = 2;
        cp = c & 0x0F;
        min = 0x800;
      } else if ((c & 0xF8) == 0xF0) {
        need = 3;
        cp = c & 0x07;
        min = 0x10000;
      }
      bool ok = need > 0;
      if (ok) {
        for (size_t k = 1; k <= need; ++k) {
          if (i + k >= n || (byte(i + k) & 0xC0) != 0x80) {
            ok = false;
            break;
          }
          cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
      }
      if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
      if (ok)
        len = need + 1;
      else
        cp = 0xFFFD;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r += static_cast<char16_t>(0xD800 + (cp >> 10));
      r += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      r += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return r;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      r += static_cast<char>(cp);
    } else if (cp < 0x800) {
      r += static_cast<char>(0xC0 | (cp >> 6));
      r += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      r += static_cast<char>(0xE0 | (cp >> 12));
      r += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      r += static_cast<char>(0xF0 | (cp >> 18));
      r += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      r += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return r;
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0, i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

namespace {
size_t AfterLastSeparator(std::u16string_view path) {
  const size_t p = path.find_last_of(u"\\:");
  return p == std::u16string_view::npos ? 0 : p + 1;
}
}  // namespace

std::u16string ExtractFilePath(std::u16string_view path) {
  return std::u16string(path.substr(0, AfterLastSeparator(path)));
}

std::u16string ExtractFileName(std::u16string_view path) {
  return std::u16string(path.substr(AfterLastSeparator(path)));
}
