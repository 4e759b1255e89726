// The folder walks: deletion with progress, the entry count, links, locked
// files, and the folders no walk may touch.

#include <windows.h>
#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "app/Application.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "removal/FolderRemoval.h"
#include "removal/PathSafety.h"
#include "ui/Main.h"
#include "wine/WineTestSupport.h"

namespace {

void MakeFile(const std::u16string& path, DWORD attrs = 0) {
  WriteBytes(path, "data");
  if (attrs) {
    ASSERT_TRUE(SetFileAttributesW(W(path), attrs)) << Narrow(path);
  }
}

void MakeDir(const std::u16string& path, DWORD attrs = 0) {
  ASSERT_TRUE(CreateDirectoryW(W(path), nullptr)) << Narrow(path);
  if (attrs) {
    ASSERT_TRUE(SetFileAttributesW(W(path), attrs)) << Narrow(path);
  }
}

std::u16string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR p = nullptr;
  std::u16string r;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &p))) r = U(p);
  CoTaskMemFree(p);
  return r;
}

class RemovalFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.MessageBoxHook = [](const std::u16string&, const std::u16string&, UINT) { return IDOK; };
    FForm.Create();  // reports the missing configuration of the test program
    SetRange(1000000);
  }
  void TearDown() override { Application.MessageBoxHook = nullptr; }
  void SetRange(int max) {
    SendMessageW(FForm.PB.Handle, PBM_SETRANGE32, 0, max);
    SendMessageW(FForm.PB.Handle, PBM_SETPOS, 0, 0);
  }
  int Position() const { return static_cast<int>(SendMessageW(FForm.PB.Handle, PBM_GETPOS, 0, 0)); }
  void Remove(const std::u16string& path) { FForm.DeleteFolder(path, TFolderRole::Product); }
  TMainForm FForm;
};

// The same tree, the same count and the same steps of the bar, whether the
// walk lists each folder itself or takes the count's listings.
class RemovalFolderWalks : public RemovalFolder, public ::testing::WithParamInterface<bool> {
 protected:
  std::int32_t Count(const std::u16string& path) { return GetParam() ? CountEntries(path, FKept) : CountEntries(path); }
  void Delete(const std::u16string& path) { FForm.DeleteFolder(path, TFolderRole::Product, &FKept); }
  TTreeListing FKept;
};
INSTANTIATE_TEST_SUITE_P(ListingKept, RemovalFolderWalks, ::testing::Bool());

TEST_P(RemovalFolderWalks, DeletesANestedTreeWithEveryAttributeAndCountsEachFile) {
  TScratchDir dir(u"tree");
  const std::u16string tree = dir / u"tree";
  MakeDir(tree);
  MakeFile(tree + u"\\ro.txt", FILE_ATTRIBUTE_READONLY);
  MakeFile(tree + u"\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  MakeFile(tree + u"\\system.txt", FILE_ATTRIBUTE_SYSTEM);
  MakeFile(tree + u"\\all.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  MakeFile(tree + u"\\archive.txt", FILE_ATTRIBUTE_ARCHIVE);
  MakeDir(tree + u"\\sub", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  MakeFile(tree + u"\\sub\\f.txt");
  MakeDir(tree + u"\\sub\\deep");
  MakeFile(tree + u"\\sub\\deep\\g.txt", FILE_ATTRIBUTE_READONLY);
  MakeFile(tree + u"\\sub\\deep\\h.txt");
  MakeDir(tree + u"\\empty");
  // "." and ".." are never touched: the folder above keeps its attributes
  // and its other entries.
  MakeFile(dir / u"sibling.txt");
  ASSERT_TRUE(SetFileAttributesW(W(dir.Path()), FILE_ATTRIBUTE_HIDDEN));

  // . .. 5 files sub empty, plus "empty" (2); the hidden "sub" is not counted.
  EXPECT_EQ(Count(tree), 11);
  Delete(tree);

  EXPECT_FALSE(FolderExists(tree));
  EXPECT_EQ(Position(), 8);  // one step per deleted file, the hidden folder's too
  EXPECT_TRUE(FileExists(dir / u"sibling.txt"));
  EXPECT_EQ(GetFileAttributesW(W(dir.Path())), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  SetFileAttributesW(W(dir.Path()), FILE_ATTRIBUTE_NORMAL);
}

// The product's uninstaller at the top of its folder stays through the walk,
// so that a removal ended midway can be run again; the last step takes it
// and the folder, and the bar ends where a walk of everything would.
TEST_F(RemovalFolder, TheUninstallerAtTheTopGoesLast) {
  TScratchDir dir(u"last");
  const std::u16string product = dir / u"product";
  MakeDir(product);
  MakeDir(product + u"\\sub");
  MakeFile(product + u"\\sub\\uninstall.exe");  // not at the top: an ordinary file
  MakeFile(product + u"\\Uninstall.EXE", FILE_ATTRIBUTE_READONLY);
  MakeFile(product + u"\\a.dll");
  FForm.DeleteFolder(product, TFolderRole::Product);
  EXPECT_EQ(Position(), 2);
  EXPECT_TRUE(FileExists(product + u"\\uninstall.exe"));
  EXPECT_FALSE(FolderExists(product + u"\\sub"));
  EXPECT_TRUE(RemoveFolderAgain(product, FForm.PB.Handle));
  EXPECT_EQ(Position(), 3);
  EXPECT_FALSE(FolderExists(product));
  EXPECT_TRUE(RemoveFolderAgain(product, FForm.PB.Handle));  // nothing left: nothing to keep the entry for
}

TEST_F(RemovalFolder, CountsByTheProgressRule) {
  TScratchDir dir(u"count");
  const auto d = [&](const char16_t* name) { return dir / name; };
  MakeDir(d(u"empty"));
  MakeDir(d(u"three"));
  for (const char16_t* f : {u"\\a", u"\\b", u"\\c"}) MakeFile(d(u"three") + f);
  MakeDir(d(u"nested"));
  MakeDir(d(u"nested\\sub"));
  MakeFile(d(u"nested\\sub\\a"));
  MakeFile(d(u"nested\\sub\\b"));
  // Hidden, system and dot-named subfolders count as one entry each, their
  // contents not at all.
  MakeDir(d(u"skips"));
  MakeDir(d(u"skips\\hidden"), FILE_ATTRIBUTE_HIDDEN);
  MakeFile(d(u"skips\\hidden\\x"));
  MakeDir(d(u"skips\\system"), FILE_ATTRIBUTE_SYSTEM);
  MakeFile(d(u"skips\\system\\x"));
  MakeDir(d(u"skips\\.dot"));
  MakeFile(d(u"skips\\.dot\\x"));
  MakeDir(d(u"skips\\plain"));
  MakeFile(d(u"skips\\hidden.txt"), FILE_ATTRIBUTE_HIDDEN);

  const struct {
    const char16_t* name;
    int count;
  } cases[] = {{u"missing", 0}, {u"empty", 2}, {u"three", 5}, {u"nested", 7}, {u"skips", 7 + 2}};
  for (const auto& c : cases) EXPECT_EQ(CountEntries(d(c.name)), c.count) << Narrow(c.name);
  EXPECT_EQ(CountEntries(d(u"three") + u"\\"), 5);  // a trailing separator names the same folder
  EXPECT_EQ(CountEntries(d(u"three\\a")), 0);       // a file is no folder
}

TEST_P(RemovalFolderWalks, AFileHeldOpenStaysWithItsFolders) {
  TScratchDir dir(u"locked");
  const std::u16string tree = dir / u"tree";
  MakeDir(tree);
  MakeDir(tree + u"\\held");
  MakeFile(tree + u"\\held\\locked.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  MakeFile(tree + u"\\held\\other.txt");
  MakeFile(tree + u"\\x.txt");
  MakeDir(tree + u"\\sub");
  MakeFile(tree + u"\\sub\\y.txt");
  // Open without FILE_SHARE_DELETE: deleting it fails with a sharing violation.
  HANDLE h = CreateFileW(W(tree + u"\\held\\locked.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);

  EXPECT_EQ(Count(tree), 5 + 4 + 3);
  Delete(tree);
  CloseHandle(h);

  EXPECT_TRUE(FileExists(tree + u"\\held\\locked.txt"));
  EXPECT_EQ(GetFileAttributesW(W(tree + u"\\held\\locked.txt")), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(FileExists(tree + u"\\held\\other.txt"));
  EXPECT_FALSE(FileExists(tree + u"\\x.txt"));
  EXPECT_FALSE(FolderExists(tree + u"\\sub"));
  EXPECT_EQ(Position(), 3);
}

// Kept listings serve only the walk that follows, of the folder they list.
TEST_F(RemovalFolder, AKeptListingServesOnlyTheFolderItLists) {
  TScratchDir dir(u"kept");
  for (const char16_t* t : {u"a", u"b"}) {
    MakeDir(dir / t);
    MakeFile(dir / t + u"\\1.txt");
  }
  TTreeListing kept;
  EXPECT_EQ(CountEntries(dir / u"a", kept), 3);
  FForm.DeleteFolder(dir / u"b", TFolderRole::Product, &kept);  // another folder: listed anew
  EXPECT_FALSE(FolderExists(dir / u"b"));
  // The walk of a takes its listing: what came after the count stays.
  MakeFile(dir / u"a\\2.txt");
  FForm.DeleteFolder(dir / u"a", TFolderRole::Product, &kept);
  EXPECT_FALSE(FileExists(dir / u"a\\1.txt"));
  EXPECT_TRUE(FileExists(dir / u"a\\2.txt"));
  EXPECT_EQ(Position(), 2);

  // A folder put in the place of the one listed is listed afresh; past the
  // budget the rest is listed afresh too, and every file goes either way.
  for (const std::size_t budget : {TTreeListing::DefaultBudget, std::size_t{0}, std::size_t{3000}}) {
    const std::u16string t = dir / u"t";
    MakeDir(t);
    for (const char16_t* sub : {u"\\s1", u"\\s2"}) {
      MakeDir(t + sub);
      for (int i = 0; i < 40; ++i) MakeFile(t + sub + u"\\" + std::u16string(30, u'n') + IntToText(i));
    }
    TTreeListing listing(budget);
    EXPECT_EQ(CountEntries(t, listing), 4 + 2 * 42);
    EXPECT_EQ(listing.Exhausted, budget != TTreeListing::DefaultBudget);
    EXPECT_LE(listing.Bytes(), budget);
    ASSERT_TRUE(MoveFileW(W(t + u"\\s1"), W(dir / u"s1-old")));
    MakeDir(t + u"\\s1");
    MakeFile(t + u"\\s1\\new.txt");
    SetRange(1000);
    FForm.DeleteFolder(t, TFolderRole::Product, &listing);
    EXPECT_FALSE(FolderExists(t)) << budget;
    EXPECT_EQ(Position(), 41) << budget;
    EXPECT_TRUE(FileExists(dir / u"s1-old\\" + std::u16string(30, u'n') + u"0"));
    Remove(dir / u"s1-old");
  }
}

// RemovalFolderTest.prepare builds C:\qmtest\links\swapN (N = 0, 1):
// tree\{a.txt, media\{x, y}\{1.txt, 2.txt}, media\x-link -> ..\..\victim}
// and victim\{1.txt, 2.txt}. A process of the user's renames media\x away and
// the prepared link into its place, after the count and before the walk.
TEST_P(RemovalFolderWalks, AFolderSwappedForALinkIsNotWalked) {
  const std::u16string root = u"C:\\qmtest\\links\\swap" + IntToText(GetParam() ? 1 : 0);
  const std::u16string tree = root + u"\\tree";
  ASSERT_TRUE(FileExists(root + u"\\victim\\1.txt")) << "the .prepare script did not run";
  // tree: . .. a.txt media; media: . .. x y x-link; x and y: . .. 1.txt 2.txt
  EXPECT_EQ(Count(tree), 4 + 5 + 4 + 4);
  WriteBytes(root + u"\\swap-now", "");
  for (int i = 0; i < 200 && !FileExists(root + u"\\swapped"); ++i) Sleep(50);
  ASSERT_TRUE(FileExists(root + u"\\swapped"));
  ASSERT_EQ(GetFileAttributesW(W(tree + u"\\media\\x")) & FILE_ATTRIBUTE_REPARSE_POINT,
            static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT));
  Delete(tree);
  EXPECT_TRUE(FileExists(root + u"\\victim\\1.txt"));
  EXPECT_TRUE(FileExists(root + u"\\victim\\2.txt"));
  EXPECT_FALSE(FileExists(tree + u"\\a.txt"));
  EXPECT_FALSE(FolderExists(tree + u"\\media\\y"));
  EXPECT_TRUE(FileExists(root + u"\\x-away\\1.txt"));  // moved out of the tree before the walk
  EXPECT_EQ(Position(), 3);
}

// RemovalFolderTest.prepare builds C:\qmtest\links: tree\{a.txt, sub\b.txt,
// tolink -> ..\outside} and outside\{keep.txt, inner\keep2.txt}.
TEST_F(RemovalFolder, ALinkToAFolderIsNeverFollowed) {
  const std::u16string tree = u"C:\\qmtest\\links\\tree";
  const std::u16string outside = u"C:\\qmtest\\links\\outside";
  const DWORD linkAttrs = GetFileAttributesW(W(tree + u"\\tolink"));
  ASSERT_NE(linkAttrs, INVALID_FILE_ATTRIBUTES) << "the .prepare script did not run";
  ASSERT_EQ(linkAttrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  ASSERT_TRUE(SetFileAttributesW(W(outside), FILE_ATTRIBUTE_HIDDEN));

  EXPECT_EQ(CountEntries(tree), 5 + 3);  // the link is one entry, not a folder to count
  Remove(tree);
  EXPECT_FALSE(FileExists(tree + u"\\a.txt"));
  EXPECT_FALSE(FolderExists(tree + u"\\sub"));
  EXPECT_EQ(Position(), 2);
  // What the link points to keeps its files and its attributes. (Windows
  // removes the link and then the tree; Wine cannot remove a link, so both
  // stay there.)
  EXPECT_TRUE(FileExists(outside + u"\\keep.txt"));
  EXPECT_TRUE(FileExists(outside + u"\\inner\\keep2.txt"));
  EXPECT_EQ(GetFileAttributesW(W(outside)), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  SetFileAttributesW(W(outside), FILE_ATTRIBUTE_NORMAL);
}

// The rest of C:\qmtest\links: product -> moved\{m.txt, sub\m2.txt},
// tosystem -> C:\windows, toparent -> C:\qmtest\links, and a link to
// C:\windows at a path of over 260 characters.
TEST_F(RemovalFolder, AProductFolderThatIsALinkIsFollowedOnlyToASafeFolderForAnAdministrator) {
  const std::u16string links = u"C:\\qmtest\\links";
  const std::u16string moved = links + u"\\moved";
  ASSERT_TRUE(FileExists(moved + u"\\sub\\m2.txt")) << "the .prepare script did not run";
  const std::u16string longLink = links + u"\\long\\" + std::u16string(90, u'a') + u"\\" + std::u16string(90, u'b') +
                                  u"\\" + std::u16string(90, u'c') + u"\\syslink";
  ASSERT_GT(longLink.size(), 260u);

  // Links that lead to the system's folders, or to a folder that holds the
  // link, are not walked, whatever their length.
  const std::u16string winIni = KnownFolder(FOLDERID_Windows) + u"\\win.ini";
  ASSERT_TRUE(FileExists(winIni));
  for (const std::u16string& link : {links + u"\\tosystem", links + u"\\toparent", longLink}) {
    EXPECT_EQ(CountEntries(link), 0) << Narrow(link);
    EXPECT_EQ(CountEntries(link + u"\\"), 0) << Narrow(link);
    Remove(link);
  }
  EXPECT_TRUE(FileExists(winIni));
  EXPECT_TRUE(FileExists(moved + u"\\m.txt"));
  EXPECT_TRUE(FileExists(links + u"\\outside\\keep.txt"));
  EXPECT_EQ(Position(), 0);

  // A product moved elsewhere with a link left in its place is followed
  // only when an administrator owns the link. Wine opens what a link leads
  // to even when asked for the link itself, so it cannot show a link's
  // owner: the link is not followed here, and (Wine removing no link) it
  // stays too. The rule on owners is tested on the host.
  EXPECT_EQ(CountEntries(links + u"\\product"), 0);
  Remove(links + u"\\product");
  RemoveFolderAgain(links + u"\\product", nullptr);
  EXPECT_TRUE(FileExists(moved + u"\\m.txt"));
  EXPECT_TRUE(FileExists(moved + u"\\sub\\m2.txt"));
  EXPECT_EQ(Position(), 0);
}

TEST_F(RemovalFolder, TheSystemsFoldersAreNeverWalked) {
  TScratchDir dir(u"protect");
  const std::u16string windows = KnownFolder(FOLDERID_Windows);
  const std::u16string programFiles = KnownFolder(FOLDERID_ProgramFiles);
  const std::u16string profile = KnownFolder(FOLDERID_Profile);
  ASSERT_FALSE(windows.empty());
  ASSERT_FALSE(programFiles.empty());
  ASSERT_FALSE(profile.empty());
  wchar_t shortBuf[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(W(programFiles), shortBuf, MAX_PATH), 0u);
  std::u16string temp = TempDir();
  temp.pop_back();

  // Each refused folder gets a canary file that must survive.
  const std::vector<std::u16string> refused = {
      u"C:\\",
      windows,
      u"C:\\windows\\system32",
      windows + u"\\.",
      u"C:\\\\Windows\\\\\\\\",
      u"\\\\?\\" + windows,
      u"C:\\windows\\system32\\..",
      u"c:/windows/",
      programFiles,
      U(shortBuf),  // an 8.3 name of the same folder
      KnownFolder(FOLDERID_ProgramFilesCommon),
      KnownFolder(FOLDERID_ProgramData),
      TempDir(),
      temp,
      profile,
      profile + u"\\..",             // the Users folder
      KnownFolder(FOLDERID_Public),  // direct children of the Users folder
      profile + u"\\..\\QmTestOtherUser",
      profile + u"\\AppData",  // holds protected folders
      KnownFolder(FOLDERID_Desktop),
      KnownFolder(FOLDERID_Documents),
      KnownFolder(FOLDERID_Programs),
      KnownFolder(FOLDERID_SendTo),
      KnownFolder(FOLDERID_RoamingAppData),
      KnownFolder(FOLDERID_LocalAppData),
  };
  // Relative forms are resolved against the current folder, which holds
  // canaries too.
  MakeDir(dir / u"relative");
  ASSERT_TRUE(SetCurrentDirectoryW(W(dir.Path())));
  const std::vector<std::u16string> relative = {u"", u"relative", u"C:relative", u".",
                                                u"\\qmtest\\scratch\\protect\\relative"};
  const std::vector<std::u16string> unreachable = {u"\\\\server\\share", u"\\\\server\\share\\",
                                                   u"\\\\?\\UNC\\server\\share",
                                                   u"\\\\.\\C:\\qmtest\\scratch\\protect"};

  CreateDirectoryW(W(profile + u"\\..\\QmTestOtherUser"), nullptr);
  std::vector<std::u16string> canaries;
  for (const auto& folder : refused) {
    ASSERT_TRUE(FolderExists(folder)) << Narrow(folder);
    canaries.push_back(NormalizePath(folder) + (folder.ends_with(u":\\") ? u"" : u"\\") + u"qm-canary.txt");
  }
  canaries.push_back(dir / u"qm-canary.txt");
  canaries.push_back(dir / u"relative\\qm-canary.txt");
  for (const auto& c : canaries) MakeFile(c, FILE_ATTRIBUTE_ARCHIVE);

  for (const auto* list : {&refused, &relative, &unreachable})
    for (const auto& folder : *list) {
      EXPECT_EQ(CountEntries(folder), 0) << Narrow(folder);
      Remove(folder);
    }
  SetCurrentDirectoryW(W(TestExeDir()));

  for (const auto& c : canaries) EXPECT_TRUE(FileExists(c)) << Narrow(c);
  for (const auto& c : canaries) DeleteFileW(W(c));
  RemoveDirectoryW(W(profile + u"\\..\\QmTestOtherUser"));
  EXPECT_EQ(Position(), 0);

  // A folder of the product below them goes as usual.
  const std::u16string product = programFiles + u"\\QmTest Product";
  CreateDirectoryW(W(product), nullptr);
  MakeFile(product + u"\\a.dll", FILE_ATTRIBUTE_READONLY);
  MakeFile(product + u"\\b.exe");
  EXPECT_EQ(CountEntries(product + u"\\"), 4);
  Remove(product + u"\\");
  EXPECT_FALSE(FolderExists(product));
  EXPECT_EQ(Position(), 2);
}

// Counts the bar's WM_PAINT messages.
LRESULT CALLBACK CountPaints(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_PAINT) ++*reinterpret_cast<int*>(data);
  return DefSubclassProc(wnd, msg, wp, lp);
}

TEST_F(RemovalFolder, TheBarShowsItsProgressWithoutPaintingForEveryFile) {
  TScratchDir dir(u"paint");
  FForm.OsnLabel->SetVisible(false);
  ShowWindow(FForm.Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(FForm.Handle());
  int paints = 0;
  ASSERT_TRUE(SetWindowSubclass(FForm.PB.Handle, CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints)));

  // Every file lengthens the bar, yet the drawing is rationed; the walk ends
  // with the exact position drawn and nothing left to paint.
  const int files = 200;
  MakeDir(dir / u"t");
  for (int i = 0; i < files; ++i) MakeFile(dir / (u"t\\f" + IntToText(i)));
  SetRange(files);
  Remove(dir / u"t");  // no message is handled meanwhile
  EXPECT_GE(paints, 1);
  EXPECT_LT(paints, files / 4);
  EXPECT_EQ(Position(), files);
  EXPECT_FALSE(GetUpdateRect(FForm.PB.Handle, nullptr, FALSE));
  EXPECT_FALSE(FolderExists(dir / u"t"));
  RemoveWindowSubclass(FForm.PB.Handle, CountPaints, 1);
}

}  // namespace

namespace {

TEST_F(RemovalFolder, PathsLongerThan260CharactersGoToo) {
  TScratchDir dir(u"long");
  std::u16string path = dir / u"product";
  MakeDir(path);
  for (int level = 0; level < 4; ++level) {
    path += u"\\" + std::u16string(80, static_cast<char16_t>(u'a' + level));
    ASSERT_TRUE(CreateDirectoryW(W(u"\\\\?\\" + path), nullptr)) << level;
  }
  ASSERT_GT(path.size(), 300u);
  WriteBytes(u"\\\\?\\" + path + u"\\deep.txt", "data");
  Remove(dir / u"product");
  EXPECT_FALSE(FolderExists(dir / u"product"));
  EXPECT_EQ(Position(), 1);
}

}  // namespace
