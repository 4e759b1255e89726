// The registry cleanup against scratch keys of all four groups.

#include <windows.h>

#include <gtest/gtest.h>

#include "app/Config.h"
#include "base/Win32Text.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

const std::u16string Classes = u"Software\\Classes\\";
const std::u16string Handlers = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";
const std::u16string WowHandlers =
    u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";
const std::u16string Uninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RemovalRegistry : public ::testing::Test {
 protected:
  void TearDown() override {
    AppName.clear();
    for (const auto& k : FCreated) RegDeleteTreeW(k.Root, W(k.Path));
  }
  void Create(const TKey& k) {
    MakeKey(k);
    FCreated.push_back(k);
  }
  std::vector<TKey> FCreated;
  TMainForm FForm;  // the cleanup uses nothing of the window
};

TEST_F(RemovalRegistry, RemovesTheProductsKeysWithTheirSubtreesAndNothingElse) {
  AppName = u"QmTest Cleanup";
  // Under Wine HKEY_CLASSES_ROOT is HKLM\Software\Classes; per-user classes
  // are reached through HKEY_CURRENT_USER only.
  const std::vector<TKey> removed = {
      {HKEY_CLASSES_ROOT, u"QWV4.AVI\\shell\\open\\command"},
      {HKEY_CLASSES_ROOT, u"QWV4.AVI\\DefaultIcon"},
      {HKEY_CLASSES_ROOT, u"KX2.AMR\\shell\\play\\command"},
      {HKEY_CLASSES_ROOT, u"qwv4.qwp"},  // key names ignore case
      {HKEY_CURRENT_USER, Classes + u"QWV4_Shared\\shell\\open\\command"},
      {HKEY_CURRENT_USER, Classes + u"Applications\\QW.exe\\shell\\open"},
      {HKEY_CURRENT_USER, Classes + u"Directory\\shell\\QW_Enqueue\\command"},
      {HKEY_CURRENT_USER, Classes + u"Directory\\shell\\QW_PlayIn\\command"},
      {HKEY_CURRENT_USER, Classes + u"QWV4.MP3\\shell"},
      {HKEY_CURRENT_USER, Classes + u"KX2.FLAC"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Media\\Quillmoor v45up\\InstallInfo"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4DVDMovieOnArrival"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4MusicFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4VideoFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Wow6432Node\\Clients\\Media\\Quillmoor v45up\\Capabilities"},
      {HKEY_LOCAL_MACHINE, WowHandlers + u"QWV4DVDMovieOnArrival"},
      {HKEY_LOCAL_MACHINE, WowHandlers + u"QWV4MusicFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, WowHandlers + u"QWV4VideoFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Cleanup\\a\\b\\c"},
  };
  const std::vector<TKey> kept = {
      {HKEY_CLASSES_ROOT, u"KX2.XYZ"},  // an extension the product does not own
      {HKEY_CLASSES_ROOT, u"QWV4.AVI2"},
      {HKEY_CURRENT_USER, Classes + u"QWV4.XYZ"},
      {HKEY_CURRENT_USER, Classes + u"Directory\\shell\\QmTest_Other"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Media\\QmTest Other Player"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QmTestOtherOnArrival"},
      {HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Other"},
      {HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Cleanup2"},
  };
  for (const auto& k : removed) Create(k);
  for (const auto& k : kept) Create(k);
  // Many siblings: the subkeys go from the last index down.
  for (int i = 0; i < 40; ++i)
    Create({HKEY_CLASSES_ROOT, u"QWV4.AVI\\shell\\verb" + std::u16string(1, u'A' + i % 26) + (i < 26 ? u"" : u"2")});

  FForm.CleanRegistry();
  // The product's entry in the list of installed programs goes only in a
  // step of its own, the removal's last.
  EXPECT_TRUE(KeyExists({HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Cleanup\\a\\b\\c"}));
  FForm.RemoveUninstallEntry();

  for (const auto& k : removed) EXPECT_FALSE(KeyExists(k)) << Narrow(k.Path);
  for (const char16_t* product : {u"QWV4.AVI", u"KX2.AMR", u"QWV4.QWP"})
    EXPECT_FALSE(KeyExists({HKEY_CLASSES_ROOT, product})) << Narrow(product);
  for (const std::u16string& product : {Classes + u"QWV4_Shared", Classes + u"Applications\\QW.exe",
                                        Classes + u"Directory\\shell\\QW_Enqueue", Classes + u"QWV4.MP3"})
    EXPECT_FALSE(KeyExists({HKEY_CURRENT_USER, product})) << Narrow(product);
  EXPECT_FALSE(KeyExists({HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Media\\Quillmoor v45up"}));
  EXPECT_FALSE(KeyExists({HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Cleanup"}));
  for (const auto& k : kept) EXPECT_TRUE(KeyExists(k)) << Narrow(k.Path);
  EXPECT_TRUE(KeyExists({HKEY_CURRENT_USER, Classes + u"Applications"}));
  EXPECT_TRUE(KeyExists({HKEY_LOCAL_MACHINE, Handlers}));

  // Nothing left to remove: the same 337 attempts pass quietly.
  FForm.CleanRegistry();
  FForm.RemoveUninstallEntry();
  for (const auto& k : kept) EXPECT_TRUE(KeyExists(k)) << Narrow(k.Path);
}

TEST_F(RemovalRegistry, AnEmptyProductNameLeavesTheListOfInstalledPrograms) {
  Create({HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Other\\sub"});
  Create({HKEY_CLASSES_ROOT, u"QWV4.MKV"});
  for (const char16_t* name : {u"", u"\\", u"QmTest Other\\sub"}) {
    AppName = name;
    FForm.CleanRegistry();
    FForm.RemoveUninstallEntry();
    EXPECT_TRUE(KeyExists({HKEY_LOCAL_MACHINE, Uninstall})) << Narrow(name);
    EXPECT_TRUE(KeyExists({HKEY_LOCAL_MACHINE, Uninstall + u"QmTest Other\\sub"})) << Narrow(name);
  }
  EXPECT_FALSE(KeyExists({HKEY_CLASSES_ROOT, u"QWV4.MKV"}));  // the other groups still ran
}

}  // namespace
