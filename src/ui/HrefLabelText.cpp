#include "ui/HrefLabelText.h"

#include "base/Text.h"

std::vector<std::u16string> ExtractWordsOf(std::u16string_view caption) {
  std::u16string text;
  text.reserve(caption.size() + 8);
  for (const char16_t c : caption) {
    if (c == u'<')
      text += u"\r\n<";
    else if (c == u'>')
      text += u">\r\n";
    else
      text += c;
  }
  return SplitLines(text);
}

bool IsLinkOpen(std::u16string_view segment) { return Trim(segment) == u"<a>"; }
bool IsLinkClose(std::u16string_view segment) { return Trim(segment) == u"</a>"; }

bool InsideLink(const TBoundsHr& link, std::int32_t x, std::int32_t y) {
  const std::int64_t right = static_cast<std::int64_t>(link.Left) + link.width;
  const std::int64_t bottom = static_cast<std::int64_t>(link.height) + HrefMargin;
  return link.Left <= x && x <= right && HrefMargin <= y && y <= bottom;
}

std::u16string PlainTextOf(const std::vector<std::u16string>& segments) {
  std::u16string text;
  for (const std::u16string& s : segments)
    if (!IsLinkOpen(s) && !IsLinkClose(s)) text += s;
  return text;
}

std::u16string LinkTextOf(const std::vector<std::u16string>& segments) {
  size_t open = segments.size();
  for (size_t i = 0; i < segments.size(); ++i)
    if (IsLinkOpen(segments[i])) open = i;
  std::u16string text;
  for (size_t i = open + 1; i < segments.size() && !IsLinkClose(segments[i]); ++i)
    if (!IsLinkOpen(segments[i])) text += segments[i];
  return text;
}

bool HasLink(const std::vector<std::u16string>& segments) {
  for (const std::u16string& s : segments)
    if (IsLinkOpen(s)) return true;
  return false;
}
