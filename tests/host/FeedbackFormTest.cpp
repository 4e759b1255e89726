#include <gtest/gtest.h>

#include "feedback/FormEncoder.h"

namespace {

TEST(FeedbackForm, StripFormCharsRemovesOnlyAmpersandAndHash) {
  EXPECT_EQ(StripFormChars(u"a&b#c&&##d"), u"abcd");
  EXPECT_EQ(StripFormChars(u"&#"), u"");
  EXPECT_EQ(StripFormChars(u"П р;%=?"), u"П р;%=?");
}

struct TComponentCase {
  const char* Name;
  std::u16string Text;
  std::string Encoded;
};

TEST(FeedbackForm, EncodesEachCharacterClass) {
  const TComponentCase cases[] = {
      {"blank", u"a b  c", "a+b++c"},
      {"kept", u"AZaz09*-._", "AZaz09*-._"},
      {"reserved", u"+~/?=@", "%2B%7E%2F%3F%3D%40"},
      {"controls", u"\r\n\t", "%0D%0A%09"},
      {"percent and amp", u"%&#;", "%25%26%23%3B"},
      {"cyrillic", u"Привет", "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82"},
      {"three bytes", u"\u20AC", "%E2%82%AC"},
      {"surrogate pair", u"\U0001F600", "%F0%9F%98%80"},
      {"last code point", u"\U0010FFFF", "%F4%8F%BF%BF"},
      {"lone high surrogate", std::u16string(1, char16_t(0xD800)) + u"x", "&#55296;x"},
      {"lone low surrogate", std::u16string(1, char16_t(0xDFFF)), "&#57343;"},
      {"swapped pair", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "&#56320;&#55296;"},
      {"high then high then low", std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
       "&#55357;%F0%9F%98%80"},
      {"empty", u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeFormComponent(c.Text), c.Encoded) << c.Name;
}

TEST(FeedbackForm, SplitsEachLineAtItsFirstEquals) {
  EXPECT_EQ(EncodeForm({u"email=a=b@c", u"ver=", u"app_title="}), "email=a%3Db%40c&ver=&app_title=");
  EXPECT_EQ(EncodeForm({u"na me=v al"}), "na+me=v+al");
  EXPECT_EQ(EncodeForm({}), "");
}

TEST(FeedbackForm, BuildsTheExampleBody) {
  const std::string body = EncodeForm(BuildFeedbackForm(u"x@y", u"1.0", u"Too slow\r\nBye & thanks #1", u"Quillmoor"));
  EXPECT_EQ(body, "email=x%40y&ver=1.0&info=Too+slow%0D%0ABye++thanks+1&app_title=Quillmoor");
  EXPECT_EQ(body.size(), 72u);
}

TEST(FeedbackForm, KeepsFieldOrderAndEmptyValues) {
  EXPECT_EQ(EncodeForm(BuildFeedbackForm(u"e=f", u"", u"#&", u"")), "email=e%3Df&ver=&info=&app_title=");
}

}  // namespace
