#ifndef QM_UI_HREFLABELTEXT_H
#define QM_UI_HREFLABELTEXT_H

// Caption segmenting and link hit-testing of the hyperlink label. Portable.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The link rectangle in client pixels, as found by the last paint.
struct TBoundsHr {
  std::int32_t Left = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The caption cut into segments: a break before every "<" and after every
// ">", then split at CR LF, lone CR and lone LF (no empty last line).
std::vector<std::u16string> ExtractWordsOf(std::u16string_view caption);

// True when the trimmed segment is exactly "<a>" / "</a>" (lower case).
bool IsLinkOpen(std::u16string_view segment);
bool IsLinkClose(std::u16string_view segment);

// What the label says, for a screen reader: the text segments in order,
// without the tags (the row is drawn the same way).
std::u16string PlainTextOf(const std::vector<std::u16string>& segments);
// The text of the clickable link, the last one: the text segments from the
// last "<a>" up to the next "</a>"; empty without a link.
std::u16string LinkTextOf(const std::vector<std::u16string>& segments);
// True when the segments hold an "<a>".
bool HasLink(const std::vector<std::u16string>& segments);

// The link's top edge: every segment is drawn with its top at this y, and
// the first at this x.
constexpr std::int32_t HrefMargin = 4;

// True when (x, y) lies in the link rectangle, all four bounds inclusive.
bool InsideLink(const TBoundsHr& link, std::int32_t x, std::int32_t y);

#endif
