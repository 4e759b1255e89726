#include <gtest/gtest.h>

#include "base/Text.h"
#include "removal/ProductKeys.h"

namespace {

std::vector<std::u16string> Words(const char* text) {
  std::vector<std::u16string> words;
  std::u16string w;
  for (const char* p = text;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!w.empty()) words.push_back(w);
      w.clear();
      if (!*p) return words;
    } else {
      w += static_cast<char16_t>(*p);
    }
  }
}

const std::vector<std::u16string> Extensions = Words(
    "QWP IFO BDMV MPLS M3U ASX LST PLS CUE TS AVI AVS OGM OGX OGV MPG MKV 3GP MOV ASF DIVX M1V M2V MPE MPEG MPV "
    "M4V MP4 MTS TP QT FLV F4V RM RMVB RV VOB WM WMV M2TS HDMOV EVO BIK WEBM MP3 OGG WAV MKA M4A AAC APE AT3 OMA "
    "FLAC RAM AOB WMA CDA AIF AIFC AIFF AC3 AU MP1 MP2 MPA MPC WV MOD S3M XM IT MO3 RA SND DTS KAR MID MIDI RMI AMR");

TEST(ProductKeys, ExtensionTable) {
  ASSERT_EQ(Extensions.size(), 81u);
  ASSERT_EQ(AssocExts.size(), 81u);
  for (size_t i = 0; i < 81; ++i) EXPECT_EQ(AssocExts[i], Extensions[i]) << i;
}

TEST(ProductKeys, The337DeletionsInOrder) {
  using R = TRegRoot;
  std::vector<TRegKeyPath> expected;
  for (const auto& e : Extensions) {
    expected.push_back({R::ClassesRoot, u"QWV4." + e});
    expected.push_back({R::ClassesRoot, u"KX2." + e});
  }
  expected.push_back({R::CurrentUser, u"SOFTWARE\\Classes\\QWV4_Shared"});
  expected.push_back({R::CurrentUser, u"SOFTWARE\\Classes\\Applications\\QW.exe"});
  expected.push_back({R::CurrentUser, u"SOFTWARE\\Classes\\Directory\\shell\\QW_Enqueue"});
  expected.push_back({R::CurrentUser, u"SOFTWARE\\Classes\\Directory\\shell\\QW_PlayIn"});
  for (const auto& e : Extensions) {
    expected.push_back({R::CurrentUser, u"Software\\Classes\\QWV4." + e});
    expected.push_back({R::CurrentUser, u"Software\\Classes\\KX2." + e});
  }
  const std::u16string h = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";
  const std::u16string w =
      u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\explorer\\AutoplayHandlers\\Handlers\\";
  for (const std::u16string& path :
       {std::u16string(u"SOFTWARE\\Clients\\Media\\Quillmoor v45up"), h + u"QWV4DVDMovieOnArrival",
        h + u"QWV4MusicFilesOnArrival", h + u"QWV4VideoFilesOnArrival",
        std::u16string(u"SOFTWARE\\Wow6432Node\\Clients\\Media\\Quillmoor v45up"), w + u"QWV4DVDMovieOnArrival",
        w + u"QWV4MusicFilesOnArrival", w + u"QWV4VideoFilesOnArrival"})
    expected.push_back({R::LocalMachine, path});
  expected.push_back({R::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor 4"});

  std::vector<TRegKeyPath> actual = ProductClassKeys();
  const auto entry = ProductUninstallKeys(u"Quillmoor 4");
  actual.insert(actual.end(), entry.begin(), entry.end());
  ASSERT_EQ(actual.size(), 337u);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(actual[i] == expected[i]) << i << ": " << Utf16ToUtf8(actual[i].Path);
}

TEST(ProductKeys, NoEntryForANameThatIsNoSingleKey) {
  EXPECT_TRUE(ProductUninstallKeys(u"").empty());
  EXPECT_TRUE(ProductUninstallKeys(u"\\").empty());
  EXPECT_TRUE(ProductUninstallKeys(u"Other\\Sub").empty());
  EXPECT_EQ(ProductUninstallKeys(u" ").size(), 1u);  // a blank is a key name of its own
}

}  // namespace
