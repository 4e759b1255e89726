// Caption segmenting and link hit-testing of the hyperlink label.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/HrefLabelText.h"

namespace {

using TSegments = std::vector<std::u16string>;

TEST(HrefLabelText, CaptionsCutIntoSegments) {
  const struct {
    std::u16string Caption;
    TSegments Segments;
  } cases[] = {
      {u"Tell us <a>why</a>", {u"Tell us ", u"<a>", u"why", u"</a>"}},
      {u"ab <a>cd</a> ef", {u"ab ", u"<a>", u"cd", u"</a>", u" ef"}},
      // A leading "<" gives an empty first segment, "><" an empty one between.
      {u"<a>x</a><a>y</a>", {u"", u"<a>", u"x", u"</a>", u"", u"<a>", u"y", u"</a>"}},
      {u"<A>b</A>", {u"", u"<A>", u"b", u"</A>"}},
      {u"<a></a>", {u"", u"<a>", u"", u"</a>"}},
      {u"<", {u"", u"<"}},
      {u"ab\r\ncd", {u"ab", u"cd"}},
      {u"ab\rcd\nef\r\n", {u"ab", u"cd", u"ef"}},
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"x >y", {u"x >", u"y"}},
      {u"x<y", {u"x", u"<y"}},
      {u"", {}},
      {u"plain", {u"plain"}},
      {u"< a >", {u"", u"< a >"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Caption.begin(), c.Caption.end()));
    EXPECT_EQ(ExtractWordsOf(c.Caption), c.Segments);
  }
}

TEST(HrefLabelText, OnlyExactLowerCaseTagsAfterTrimmingAreTags) {
  for (const char16_t* s : {u"<a>", u" <a>", u"<a>\t", u"\v<a>\r"}) EXPECT_TRUE(IsLinkOpen(s)) << "open";
  for (const char16_t* s : {u"</a>", u" </a> ", u"\x01</a>"}) EXPECT_TRUE(IsLinkClose(s)) << "close";
  for (const char16_t* s : {u"<A>", u"< a>", u"<a >", u"<b>", u"<a", u"a>", u"<a><a>", u"", u"</a>"})
    EXPECT_FALSE(IsLinkOpen(s)) << "not open";
  for (const char16_t* s : {u"</A>", u"< /a>", u"</ a>", u"<a>", u"/a>"}) EXPECT_FALSE(IsLinkClose(s)) << "not close";
}

// What a screen reader is told: the caption without its tags, and the text
// of the one clickable link (the last).
TEST(HrefLabelText, PlainTextAndLinkTextLeaveTheTagsOut) {
  const struct {
    std::u16string Caption, Plain, Link;
    bool HasLink;
  } cases[] = {
      {u"<a>Tell us why you remove Quillmoor</a>", u"Tell us why you remove Quillmoor",
       u"Tell us why you remove Quillmoor", true},
      {u"ab <a>cd</a> ef", u"ab cd ef", u"cd", true},
      {u"<a>x</a><a>y</a>", u"xy", u"y", true},
      {u"<A>b</A>", u"<A>b</A>", u"", false},  // upper-case tags are text
      {u"<a></a>", u"", u"", true},
      {u"ab\r\ncd", u"abcd", u"", false},  // one row: the break only separates
      {u"<a>one\r\ntwo</a> three", u"onetwo three", u"onetwo", true},
      {u"tail <a>", u"tail ", u"", true},
      {u"", u"", u"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Caption.begin(), c.Caption.end()));
    const TSegments segments = ExtractWordsOf(c.Caption);
    EXPECT_EQ(PlainTextOf(segments), c.Plain);
    EXPECT_EQ(LinkTextOf(segments), c.Link);
    EXPECT_EQ(HasLink(segments), c.HasLink);
  }
}

TEST(HrefLabelText, LinkRectangleBoundsAreAllInclusive) {
  const TBoundsHr link{20, 30, 13};  // x 20..50, y 4..17
  const struct {
    int X, Y;
    bool Inside;
  } points[] = {
      {20, 4, true},   {50, 17, true}, {35, 10, true},  {19, 10, false},
      {51, 10, false}, {35, 3, false}, {35, 18, false}, {-1, -1, false},
  };
  for (const auto& p : points) EXPECT_EQ(InsideLink(link, p.X, p.Y), p.Inside) << p.X << "," << p.Y;

  // A new label's rectangle (0, 0, 0): only (0, 4).
  EXPECT_TRUE(InsideLink(TBoundsHr{}, 0, 4));
  EXPECT_FALSE(InsideLink(TBoundsHr{}, 0, 5));
  // "<a></a>": 0 wide at x = 4, hit only at x = 4.
  const TBoundsHr empty{4, 0, 13};
  EXPECT_TRUE(InsideLink(empty, 4, 4));
  EXPECT_TRUE(InsideLink(empty, 4, 17));
  EXPECT_FALSE(InsideLink(empty, 5, 10));
  EXPECT_FALSE(InsideLink(empty, 3, 10));
}

TEST(HrefLabelText, ExtremeCoordinatesDoNotOverflow) {
  const TBoundsHr wide{INT32_MAX - 1, INT32_MAX, INT32_MAX};
  EXPECT_TRUE(InsideLink(wide, INT32_MAX, INT32_MAX));
  EXPECT_FALSE(InsideLink(wide, INT32_MIN, 4));
}

}  // namespace
