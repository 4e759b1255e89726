#include <gtest/gtest.h>

#include "base/Text.h"
#include "ui/Lang.h"

namespace {

const TStrings Table = LanguageTableLines();

TEST(LangTable, HasFiveSectionsOfFifteenLinesAtSixteenLineSteps) {
  ASSERT_EQ(Table.size(), 79u);
  const char16_t* headers[] = {u"[lang0]", u"[#lang1]", u"[#lang2]", u"[#lang3]", u"[#lang4]\v"};
  for (int k = 0; k < LangCount; ++k) {
    EXPECT_EQ(Table[16 * k], headers[k]) << k;
    EXPECT_EQ(LineKey(Table[16 * k + 1]), u"Name");
    EXPECT_EQ(LineKey(Table[16 * k + 2]), u"Id");
    EXPECT_EQ(Trim(Table[16 * k + 3]), u"");
    for (int n = 1; n <= 11; ++n) EXPECT_EQ(LineKey(Table[16 * k + 3 + n]), IntToText(n)) << k << ' ' << n;
    if (k < 4) {
      EXPECT_EQ(Table[16 * k + 15], u"") << k;
    }
  }
  // Every Polish line but the last ends in U+000B; its empty line is just that.
  for (int i = 64; i < 78; ++i) EXPECT_EQ(Table[i].back(), u'\v') << i;
  EXPECT_EQ(Table[67], u"\v");
  EXPECT_NE(Table[78].back(), u'\v');
}

TEST(LangTable, TemplatesHoldExactlyOnePercentS) {
  for (int lang = 0; lang < LangCount; ++lang) {
    for (const char16_t* key : {u"1", u"6"}) {
      const std::u16string v = GetLangValue(Table, lang, key);
      EXPECT_EQ(v.find(u"%s"), v.rfind(u"%s")) << lang;
      EXPECT_NE(v.find(u"%s"), std::u16string::npos) << lang;
      EXPECT_EQ(v.find(u'%'), v.find(u"%s")) << lang;
    }
  }
}

TEST(LangLookup, FindsEachLanguageAndTrims) {
  EXPECT_EQ(GetLangValue(Table, 0, u"3"), u"Отмена");  // header "[lang0]": found by being first
  EXPECT_EQ(GetLangValue(Table, 1, u"3"), u"Скасувати");
  EXPECT_EQ(GetLangValue(Table, 2, u" 3 "), u"Cancel");
  EXPECT_EQ(GetLangValue(Table, 3, u"9"), u"Doorgaan");
  EXPECT_EQ(GetLangValue(Table, 4, u"4"), u"Usuń");  // U+000B trimmed away
  EXPECT_EQ(GetLangValue(Table, 2, u"12"), u"");
  EXPECT_EQ(GetLangValue(Table, 2, u"1"), u"Please, tell us why you are uninstalling the %s");  // not "10"/"11"
  EXPECT_EQ(GetLangValue(Table, 7, u"4"), u"Удалить");  // no such header: from the top
  EXPECT_EQ(GetLangValue(Table, 0, u"10"), u"http://quillmoor.example/");
  EXPECT_EQ(GetLangValue(Table, 2, u"10"), u"http://quillmoor.example/en/home/");
  EXPECT_EQ(GetLangValue(Table, 1, u"11"), GetLangValue(Table, 0, u"11"));
}

TEST(LangLookup, MissingKeyFallsThroughToLaterSections) {
  TStrings t = Table;
  t.erase(t.begin() + 16 * 3 + 12);  // Dutch "9="
  EXPECT_EQ(GetLangValue(t, 3, u"9"), u"Kontynuuj");
  TStrings p = Table;
  p.pop_back();  // Polish "11="
  EXPECT_EQ(GetLangValue(p, 4, u"11"), u"");
}

TEST(LangLines, KeyAndValueRules) {
  EXPECT_EQ(LineKey(u"no equals here"), u"");
  EXPECT_EQ(LineValue(u"  no equals here \v"), u"no equals here");
  EXPECT_EQ(LineKey(u"  k  =  v  "), u"k");
  EXPECT_EQ(LineValue(u"  k  =  v  "), u"v");
  EXPECT_EQ(LineValue(u"k=a=b"), u"a=b");
  const std::u16string long300(300, u'x');
  EXPECT_EQ(LineValue(u"k=" + long300), std::u16string(255, u'x'));
  EXPECT_EQ(LineValue(long300), std::u16string(255, u'x'));
  // Trimming happens after the cut: trailing blanks inside the 255 go too.
  EXPECT_EQ(LineValue(u"k=" + std::u16string(254, u'y') + u"  z"), std::u16string(254, u'y'));
}

TEST(LangChoice, SystemLanguageIdentifiers) {
  const struct {
    std::uint16_t id;
    int index;
  } cases[] = {{1049, 0}, {1058, 1}, {1033, 2}, {1043, 3}, {1045, 4},
               {2057, 2}, {2067, 2}, {1059, 2}, {0, 2},    {0xFFFF, 2}};
  for (const auto& c : cases) EXPECT_EQ(LangIndexFromLangId(c.id), c.index) << c.id;
}

}  // namespace
