// The hyperlink label's caption segmenter and link hit test over arbitrary
// captions and rectangles: the segments are the caption cut, never changed,
// with tags standing alone, and the hit test is the inclusive rectangle.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "ui/HrefLabelText.h"

namespace {

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

std::u16string Stripped(std::u16string_view s) {
  while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
  return std::u16string(s);
}

void CheckSegments(const std::u16string& caption) {
  const std::vector<std::u16string> segments = ExtractWordsOf(caption);
  std::u16string joined, unbroken;
  for (const auto& s : segments) {
    joined += s;
    for (size_t i = 0; i < s.size(); ++i) {
      Check(!IsBreak(s[i]));
      Check(s[i] != u'<' || i == 0);
      Check(s[i] != u'>' || i + 1 == s.size());
    }
    Check(!(IsLinkOpen(s) && IsLinkClose(s)));
    Check(IsLinkOpen(s) == (Stripped(s) == u"<a>"));
    Check(IsLinkClose(s) == (Stripped(s) == u"</a>"));
  }
  for (char16_t c : caption)
    if (!IsBreak(c)) unbroken += c;
  Check(joined == unbroken);

  // One cut before each "<", after each ">" and at each line break (CR LF
  // counts once); no empty segment after a cut at the very end.
  size_t cuts = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    const char16_t c = caption[i];
    if (c == u'<' || c == u'>' || c == u'\n' || (c == u'\r' && (i + 1 == caption.size() || caption[i + 1] != u'\n')))
      ++cuts;
  }
  const bool endsCut = caption.empty() || caption.back() == u'>' || IsBreak(caption.back());
  Check(segments.size() == cuts + (endsCut ? 0 : 1));
}

void CheckHit(const TBoundsHr& link, std::int32_t x, std::int32_t y) {
  const long long left = link.Left, right = left + link.width, top = HrefMargin,
                  bottom = static_cast<long long>(link.height) + HrefMargin;
  Check(InsideLink(link, x, y) == (left <= x && x <= right && top <= y && y <= bottom));
  // The corners of a proper rectangle are inside.
  if (link.width >= 0 && link.height >= 0) {
    Check(InsideLink(link, link.Left, HrefMargin));
    if (right <= INT32_MAX && bottom <= INT32_MAX)
      Check(InsideLink(link, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)));
  }
}

}  // namespace

// Layout: 20 bytes of rectangle and point (Left, width, height, X, Y), then
// the caption.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 20) {
    std::int32_t v[5];
    std::memcpy(v, data, sizeof(v));
    CheckHit(TBoundsHr{v[0], v[1], v[2]}, v[3], v[4]);
    data += 20;
    size -= 20;
  }
  CheckSegments(DecodeFuzzText(data, size));
  return 0;
}
