#include <gtest/gtest.h>

#include "app/IniNumber.h"

namespace {

TEST(IniInteger, AcceptedForms) {
  const struct {
    const char16_t* text;
    std::int32_t value;
  } cases[] = {
      {u"1", 1},
      {u"2", 2},
      {u"-1", -1},
      {u"+7", 7},
      {u"  42", 42},
      {u"0", 0},
      {u"007", 7},
      {u"0x10", 16},
      {u"0X1f", 31},
      {u"$2", 2},
      {u"x2", 2},
      {u"X2", 2},
      {u"-$10", -16},
      {u"$FFFFFFFF", -1},
      {u"0x80000000", INT32_MIN},
      {u"2147483647", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"$00000000000000A", 10},
  };
  for (const auto& c : cases) {
    std::int32_t v = 12345;
    EXPECT_TRUE(TryParseIniInteger(c.text, v))
        << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(v, c.value);
  }
}

TEST(IniInteger, RejectedForms) {
  for (const char16_t* text : {u"", u" ", u"yes", u"two", u"1a", u"1 ", u"0x", u"$", u"-", u"+", u"--1", u"1.0",
                               u"2147483648", u"-2147483649", u"$100000000", u"0x1G", u"\t1", u"1\v", u"１"}) {
    std::int32_t v = 99;
    EXPECT_FALSE(TryParseIniInteger(text, v));
    EXPECT_EQ(v, 99);
  }
}

}  // namespace
