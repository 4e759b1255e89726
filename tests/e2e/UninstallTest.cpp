// End to end: the installer's part is staged in the prefix (product folder,
// registry entries of every group, shortcuts, configuration embedded into
// uninstall.exe), uninstall.exe is started from the product folder, the
// relocated copy's window is driven from here, and what is left is checked.
// Runs in a 32-bit prefix and in a 64-bit one, where this 32-bit program and
// the uninstaller both see the WOW64 registry view.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "app/Config.h"
#include "base/ScopedHandle.h"
#include "base/Text.h"
#include "base/Win32Text.h"
#include "ui/ControlIds.h"
#include "ui/Lang.h"
#include "wine/ScriptedServer.h"
#include "wine/WineTestSupport.h"

namespace {

std::u16string Folder(int csidl) {
  wchar_t buf[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, buf), S_OK);
  return U(buf);
}

const std::u16string ShellFoldersKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::u16string UninstallList = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::u16string Handlers = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";

void SetValue(HKEY root, const std::u16string& path, const std::u16string& name, const std::u16string& value) {
  ASSERT_EQ(RegSetKeyValueW(root, W(path), W(name), REG_SZ, W(value), static_cast<DWORD>((value.size() + 1) * 2)),
            ERROR_SUCCESS);
}

// The product's keys, nested subkeys included (all removed by the uninstaller).
std::vector<TKey> ProductKeys() {
  return {
      {HKEY_CLASSES_ROOT, u"QWV4.AVI\\shell\\open\\command"},
      {HKEY_CLASSES_ROOT, u"QWV4.AVI\\DefaultIcon"},
      {HKEY_CLASSES_ROOT, u"KX2.MP3\\shell\\play"},
      {HKEY_CLASSES_ROOT, u"QWV4.AMR"},
      {HKEY_CURRENT_USER, u"SOFTWARE\\Classes\\QWV4_Shared\\shell\\open\\command"},
      {HKEY_CURRENT_USER, u"SOFTWARE\\Classes\\Applications\\QW.exe\\SupportedTypes"},
      {HKEY_CURRENT_USER, u"SOFTWARE\\Classes\\Directory\\shell\\QW_Enqueue\\command"},
      {HKEY_CURRENT_USER, u"SOFTWARE\\Classes\\Directory\\shell\\QW_PlayIn"},
      {HKEY_CURRENT_USER, u"Software\\Classes\\QWV4.MKV\\shell"},
      {HKEY_CURRENT_USER, u"Software\\Classes\\KX2.OGG"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Media\\Quillmoor v45up\\Capabilities\\FileAssociations"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4DVDMovieOnArrival"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4MusicFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, Handlers + u"QWV4VideoFilesOnArrival"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Wow6432Node\\Clients\\Media\\Quillmoor v45up"},
      {HKEY_LOCAL_MACHINE,
       u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\explorer\\AutoplayHandlers\\Handlers\\"
       u"QWV4MusicFilesOnArrival"},
  };
}

// Keys that are not the product's and must stay.
std::vector<TKey> ForeignKeys() {
  return {
      {HKEY_CLASSES_ROOT, u"QWV4.XYZ\\shell"},  // an extension the product does not own
      {HKEY_CLASSES_ROOT, u"KX2.DOCX"},
      {HKEY_CURRENT_USER, u"SOFTWARE\\Classes\\Directory\\shell\\OtherVerb"},
      {HKEY_LOCAL_MACHINE, UninstallList + u"QmOtherProgram"},
      {HKEY_LOCAL_MACHINE, Handlers + u"OtherPlayerOnArrival"},
      {HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Media\\Other Player"},
  };
}

struct TScenario {
  bool Registered = true;      // the product's Uninstall entry exists
  bool PathElsewhere = false;  // the registered folder differs from "Path"
  // A tree that the .prepare script makes, moved into the product as "Data":
  // u"C:\\QmBig" (40,000 files) or u"C:\\QmSession" (10,000).
  const char16_t* Tree = nullptr;
  std::string DelUrl = "http://127.0.0.1:9/none";
};

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    KillStrayWindows();
    FProgramFiles = Folder(CSIDL_PROGRAM_FILES);
    FProduct = FProgramFiles + u"\\Quillmoor";
    FRegistered = FProgramFiles + u"\\QmRegistered";
    FPrograms = Folder(CSIDL_PROGRAMS);
    FDesktop = Folder(CSIDL_DESKTOPDIRECTORY);
    FSendTo = Folder(CSIDL_SENDTO);
    for (const char16_t* f : {u"QW_Setup.exe", u"unin.ini", u"$$QW_DEL.bat"}) DeleteFileW(W(TempDir() + f));
  }
  void TearDown() override { KillStrayWindows(); }

  void Stage(const TScenario& s) {
    // The product folder keeps "Link" (a link to C:\QmOutside, made from the
    // Linux side): Wine cannot remove a link to a full folder.
    CleanProductFolder(FProduct);
    RemoveTreeUnder(FProgramFiles, FRegistered);
    CreateDirectoryW(W(FProduct), nullptr);
    for (const char16_t* d : {u"\\Skins", u"\\Skins\\Dark", u"\\.cache", u"\\Plugins"})
      CreateDirectoryW(W(FProduct + d), nullptr);
    const struct {
      const char16_t* Name;
      DWORD Attributes;
    } files[] = {{u"\\Quillmoor.exe", FILE_ATTRIBUTE_ARCHIVE},
                 {u"\\Readme.txt", FILE_ATTRIBUTE_READONLY},
                 {u"\\hidden.dat", FILE_ATTRIBUTE_HIDDEN},
                 {u"\\system.dat", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
                 {u"\\Skins\\Default.qsk", FILE_ATTRIBUTE_NORMAL},
                 {u"\\Skins\\Dark\\Dark.qsk", FILE_ATTRIBUTE_READONLY},
                 {u"\\.cache\\thumbs.db", FILE_ATTRIBUTE_NORMAL},
                 {u"\\Plugins\\Visualizer.dll", FILE_ATTRIBUTE_NORMAL}};
    for (const auto& f : files) {
      WriteBytes(FProduct + f.Name, "product file");
      SetFileAttributesW(W(FProduct + f.Name), f.Attributes);
    }
    SetFileAttributesW(W(FProduct + u"\\.cache"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    if (s.Tree) {
      const std::u16string tree = s.Tree;
      ASSERT_TRUE(FileExists(tree + u"\\.complete")) << "the .prepare script makes " << Narrow(tree);
      ASSERT_TRUE(MoveFileW(W(tree + u"\\Data"), W(FProduct + u"\\Data")));
      DeleteFileW(W(tree + u"\\.complete"));  // the tree is used up: made anew next time
    }
    ASSERT_TRUE(FolderExists(FProduct + u"\\Link")) << "the .prepare script makes the link";
    ASSERT_TRUE(FileExists(u"C:\\QmOutside\\keep.txt"));
    if (s.PathElsewhere) {
      CreateDirectoryW(W(FRegistered), nullptr);
      WriteBytes(FRegistered + u"\\registered.txt", "not the folder to delete");
    }

    for (const TKey& k : ProductKeys()) MakeKey(k, u"Quillmoor");
    for (const TKey& k : ForeignKeys()) MakeKey(k, u"keep");
    const std::u16string entry = UninstallList + u"Quillmoor";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(entry));
    if (s.Registered) SetValue(HKEY_LOCAL_MACHINE, entry, u"UninstallPath", s.PathElsewhere ? FRegistered : FProduct);

    SetValue(HKEY_CURRENT_USER, ShellFoldersKey, u"Programs", FPrograms);
    SetValue(HKEY_CURRENT_USER, ShellFoldersKey, u"Desktop", FDesktop);
    SetValue(HKEY_CURRENT_USER, ShellFoldersKey, u"SendTo", FSendTo);
    CreateDirectoryW(W(FPrograms + u"\\Quillmoor"), nullptr);
    CreateDirectoryW(W(FPrograms + u"\\QmOther"), nullptr);
    for (const std::u16string& f :
         {FPrograms + u"\\Quillmoor\\Quillmoor.lnk", FPrograms + u"\\Quillmoor\\Uninstall.lnk",
          FDesktop + u"\\Quillmoor.lnk", FSendTo + u"\\Quillmoor playlist", FDesktop + u"\\Other.lnk",
          FPrograms + u"\\QmOther\\Other.lnk", FSendTo + u"\\Quillmoor playlist.lnk"})
      WriteBytes(f, "shortcut");

    std::string ini = "[Information]\r\nAppName=Quillmoor\r\nAppVer=4.5.1\r\nDelURL=" + s.DelUrl +
                      "\r\nStartName=Quillmoor\r\n[Uninstall]\r\nQuestion=1\r\n";
    if (s.PathElsewhere) ini += "Path=" + Narrow(FProduct) + "\r\n";
    ini +=
        "[Shortcuts]\r\nA=Desk\r\nB=Send\r\nC=Desk\r\n[Desk]\r\nFileName=Quillmoor.exe\r\nName=Quillmoor\r\nInto=0\r\n"
        "[Send]\r\nFileName=Quillmoor.exe\r\nName=Quillmoor playlist\r\nInto=2\r\n";
    MakeConfiguredExe(FProduct + u"\\uninstall.exe", ini);
  }

  // Starts uninstall.exe from the product folder; the copy's window. With
  // first, the instance started keeps running in *first (closed by the caller).
  HWND StartUninstaller(HANDLE* firstOut = nullptr) {
    HANDLE first = Start(FProduct + u"\\uninstall.exe");
    EXPECT_NE(first, nullptr);
    if (firstOut)
      *firstOut = first;
    else if (first)
      CloseHandle(first);
    HWND form = WaitMainWindow(u"\\QW_Setup.exe");
    EXPECT_NE(form, nullptr) << "the relocated copy's window did not appear";
    if (form) {
      DWORD pid = 0;
      GetWindowThreadProcessId(form, &pid);
      FCopy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
      FPid = pid;
    }
    return form;
  }

  // Waits for the copy to end; its exit code.
  DWORD WaitCopyEnd() {
    DWORD code = 12345;
    if (FCopy && WaitForSingleObject(FCopy, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(FCopy, &code);
    if (FCopy) CloseHandle(FCopy);
    FCopy = nullptr;
    return code;
  }

  // Presses a button of the copy's window and waits for the copy to end with exit code 0.
  void PressAndWaitEnd(HWND form, int button) {
    PostMessageW(Control(form, button), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitCopyEnd(), 0u);
  }

  static void OpenFeedbackPanel(HWND form) {
    HWND osn = Control(form, idOsnLabel);
    const LPARAM at = MAKELPARAM(8, 10);  // on the invitation link, which starts at x = 4
    PostMessageW(osn, WM_MOUSEMOVE, 0, at);
    PostMessageW(osn, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(osn, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(Control(form, idMemo1)) != FALSE; }, 10000));
  }

  static void Type(HWND form, int id, const std::u16string& text) {
    SendMessageW(Control(form, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text)));
  }

  // Stages s, starts the uninstaller and fills in its feedback panel; the
  // copy's window, or null.
  HWND StartWithFeedback(const TScenario& s, const std::u16string& email, const std::u16string& message) {
    Stage(s);
    if (HasFatalFailure()) return nullptr;
    HWND form = StartUninstaller();
    if (!form) return nullptr;
    OpenFeedbackPanel(form);
    Type(form, idEdit1, email);
    Type(form, idMemo1, message);
    return form;
  }

  void ExpectRemoved() {
    // Only the link may stay (Wine cannot remove it); the folder it points to keeps its files.
    std::vector<std::u16string> left;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(W(FProduct + u"\\*"), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::u16string n = U(fd.cFileName);
        if (n != u"." && n != u".." && n != u"Link") left.push_back(n);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    EXPECT_TRUE(left.empty()) << "left in the product folder: " << Narrow(left.empty() ? u"" : left[0]);
    EXPECT_TRUE(FileExists(u"C:\\QmOutside\\keep.txt"));
    EXPECT_TRUE(FileExists(u"C:\\QmOutside\\sub\\deep.txt"));

    for (const TKey& k : ProductKeys()) EXPECT_FALSE(KeyExists(k)) << Narrow(k.Path);
    EXPECT_FALSE(KeyExists({HKEY_LOCAL_MACHINE, UninstallList + u"Quillmoor"}));
    EXPECT_FALSE(FolderExists(FPrograms + u"\\Quillmoor"));
    EXPECT_FALSE(FileExists(FDesktop + u"\\Quillmoor.lnk"));
    EXPECT_FALSE(FileExists(FSendTo + u"\\Quillmoor playlist"));
    ExpectForeignKept();
    // The copy, its batch file and its configuration leave the temp folder.
    EXPECT_TRUE(WaitFor(
        [&] {
          return !FileExists(TempDir() + u"QW_Setup.exe") && !FileExists(TempDir() + u"$$QW_DEL.bat") &&
                 !FileExists(TempDir() + u"unin.ini");
        },
        20000))
        << "left in the temp folder";
  }

  void ExpectNothingRemoved() {
    for (const char16_t* f :
         {u"\\Quillmoor.exe", u"\\Readme.txt", u"\\hidden.dat", u"\\Skins\\Dark\\Dark.qsk", u"\\uninstall.exe"})
      EXPECT_TRUE(FileExists(FProduct + f)) << Narrow(f);
    for (const TKey& k : ProductKeys()) EXPECT_TRUE(KeyExists(k)) << Narrow(k.Path);
    EXPECT_TRUE(FileExists(FPrograms + u"\\Quillmoor\\Quillmoor.lnk"));
    EXPECT_TRUE(FileExists(FDesktop + u"\\Quillmoor.lnk"));
    EXPECT_TRUE(FileExists(FSendTo + u"\\Quillmoor playlist"));
    ExpectForeignKept();
    EXPECT_TRUE(WaitFor([&] { return !FileExists(TempDir() + u"unin.ini"); }, 10000));
  }

  void ExpectForeignKept() {
    for (const TKey& k : ForeignKeys()) EXPECT_TRUE(KeyExists(k)) << Narrow(k.Path);
    EXPECT_TRUE(FileExists(FDesktop + u"\\Other.lnk"));
    EXPECT_TRUE(FileExists(FPrograms + u"\\QmOther\\Other.lnk"));
    EXPECT_TRUE(FileExists(FSendTo + u"\\Quillmoor playlist.lnk"));
    EXPECT_TRUE(KeyExists({HKEY_CURRENT_USER, ShellFoldersKey}));
  }

  static void CleanProductFolder(const std::u16string& product) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(W(product + u"\\*"), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::u16string n = U(fd.cFileName);
      if (n == u"." || n == u".." || n == u"Link") continue;
      RemoveTreeUnder(product, product + u"\\" + n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }

  std::u16string FProgramFiles, FProduct, FRegistered, FPrograms, FDesktop, FSendTo;
  HANDLE FCopy = nullptr;
  DWORD FPid = 0;
};

TEST_F(Uninstall, PlainModeRemovesTheProductAndNothingElse) {
  Stage({});
  HWND form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(FileExists(TempDir() + u"unin.ini"));
  PressAndWaitEnd(form, idInsButton);
  ExpectRemoved();
}

TEST_F(Uninstall, FeedbackModePostsTheFormThenRemoves) {
  TScriptedServer server({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", TEnd::Close});
  const std::string port = std::to_string(server.Port());
  HWND form = StartWithFeedback({.DelUrl = "http://127.0.0.1:" + port + "/feedback.php?src=uninst"}, u"x@y",
                                u"Too slow\r\nBye & thanks #1");
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);
  const std::string body = "email=x%40y&ver=4.5.1&info=Too+slow%0D%0ABye++thanks+1&app_title=Quillmoor";
  EXPECT_EQ(server.Finish().Received,
            "POST /feedback.php?src=uninst HTTP/1.0\r\nConnection: keep-alive\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nHost: 127.0.0.1:" + port +
                "\r\nAccept: text/html, */*\r\nAccept-Encoding: identity\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n" +
                body);
  ExpectRemoved();
}

TEST_F(Uninstall, UnreachableFeedbackAddressStillRemoves) {
  HWND form = StartWithFeedback({.DelUrl = "http://127.0.0.1:1/closed"}, u"@", u"x");
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);
  ExpectRemoved();
}

TEST_F(Uninstall, InvalidFieldsRemoveNothingAndKeepThePanel) {
  HWND form = StartWithFeedback({}, u"nobody", u"  \r\n\t ");
  ASSERT_NE(form, nullptr);
  for (int round = 0; round < 2; ++round) {
    PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindDialogOf(FPid)) != nullptr; })) << "no message box";
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), GetLangValue(LanguageTableLines(), 2, u"8"));
    EXPECT_EQ(TextOf(box), u"Quillmoor Uninstalling");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return FindDialogOf(FPid) == nullptr; }));
    EXPECT_TRUE(IsWindowVisible(Control(form, idMemo1)));
    EXPECT_EQ(TextOf(Control(form, idEdit1)), round ? u"a@b" : u"nobody");
    Type(form, idEdit1, u"a@b");  // the address is fine now, the message still blank
  }
  PressAndWaitEnd(form, idButton3);
  ExpectNothingRemoved();
}

TEST_F(Uninstall, CancelRemovesNothing) {
  Stage({});
  HWND form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idButton3);
  ExpectNothingRemoved();
}

TEST_F(Uninstall, MissingProductEntryPlainModeStillCompletes) {
  Stage({.Registered = false, .PathElsewhere = true});  // "Path" names the folder, as nothing is registered
  HWND form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);
  ExpectRemoved();
}

TEST_F(Uninstall, MissingProductEntryWithInvalidFieldsEndsWithoutWaiting) {
  HWND form = StartWithFeedback({.Registered = false, .PathElsewhere = true}, u"nobody", u"text");
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);  // the end request closes the message box at once
  ExpectNothingRemoved();
}

TEST_F(Uninstall, PathElsewhereDeletesThePathNotTheRegisteredFolder) {
  Stage({.PathElsewhere = true});
  HWND form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);
  ExpectRemoved();
  EXPECT_TRUE(FileExists(FRegistered + u"\\registered.txt"));
}

}  // namespace

namespace {

// Polls the copy's window from this process every 100 ms for as long as the
// copy runs: how often Windows' rule (no message taken for 5 s) found it
// hung, and whether its caption (its language) ever changed.
struct TWatch {
  int Samples = 0;
  int Hung = 0;
  bool CaptionChanged = false;
};

// Everything a user could do to the window while it works: Cancel, a
// language name, the close button, Alt+F4, Esc and Enter.
void PesterWindow(HWND form) {
  PostMessageW(Control(form, idButton3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(Control(form, idButton3), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  HWND panel = Control(form, idSPanel);
  const LPARAM ukrainian = MAKELPARAM(460, 45);  // on Label2, "Український"
  PostMessageW(panel, WM_MOUSEMOVE, 0, ukrainian);
  PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, ukrainian);
  PostMessageW(panel, WM_LBUTTONUP, 0, ukrainian);
  PostMessageW(form, WM_NCLBUTTONDOWN, HTCLOSE, 0);
  PostMessageW(form, WM_NCLBUTTONUP, HTCLOSE, 0);
  PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 1 << 29);
  PostMessageW(form, WM_SYSKEYUP, VK_F4, 1 << 29);
  for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    PostMessageW(Control(form, idInsButton), WM_KEYDOWN, key, 1);
    PostMessageW(Control(form, idInsButton), WM_KEYUP, key, 1);
  }
  PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(form, WM_CLOSE, 0, 0);
}

TWatch WatchUntilEnd(HWND form, HANDLE copy) {
  TWatch w;
  const std::u16string caption = TextOf(form);
  while (WaitForSingleObject(copy, 100) == WAIT_TIMEOUT) {
    if (!IsWindow(form)) continue;
    ++w.Samples;
    if (IsHungAppWindow(form)) ++w.Hung;
    if (w.Samples % 10 == 1) PesterWindow(form);
    wchar_t text[256] = {};
    DWORD_PTR got = 0;
    if (SendMessageTimeoutW(form, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &got) &&
        U(text) != caption && IsWindowVisible(form))
      w.CaptionChanged = true;
  }
  return w;
}

// A silent feedback server (it takes the request and never answers), then a
// product of 40,000 files: the copy's window is never hung, and nothing the
// user does meanwhile acts, then or afterwards.
TEST_F(Uninstall, TheWindowAnswersThroughALongRunAndIgnoresInput) {
  TScriptedServer server({"", TEnd::Hold});
  HWND form = StartWithFeedback(
      {.Tree = u"C:\\QmBig", .DelUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/silent"}, u"x@y",
      u"waiting");
  ASSERT_NE(form, nullptr);
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  const TWatch w = WatchUntilEnd(form, FCopy);
  EXPECT_EQ(WaitCopyEnd(), 0u);
  EXPECT_EQ(w.Hung, 0) << "of " << w.Samples << " samples, 100 ms apart";
  EXPECT_GT(w.Samples, 50);  // the run took more than 5 s: the rule could have struck
  EXPECT_FALSE(w.CaptionChanged) << "a language name acted during the run";
  ExpectRemoved();
  EXPECT_FALSE(FolderExists(FProduct + u"\\Data"));
}

// The feedback address names a host for which no DNS server answers (run by
// tests/wine/dead-resolver, whose namespace has such a server; Wine's resolver
// gives up after 10 s): the window is never hung while the lookup waits, and
// the removal follows it.
TEST_F(Uninstall, AnUnansweredNameLookupNeitherHangsTheWindowNorStopsTheRemoval) {
  if (!getenv("QM_DEAD_RESOLVER")) GTEST_SKIP() << "run by tests/wine/dead-resolver, whose DNS server never answers";
  HWND form = StartWithFeedback({.DelUrl = "http://feedback.quillmoor.test/fb"}, u"x@y", u"no answer");
  ASSERT_NE(form, nullptr);
  const ULONGLONG start = GetTickCount64();
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  const TWatch w = WatchUntilEnd(form, FCopy);
  std::printf("dead resolver: %d of %d polls not responding; the run took %llu ms from the click\n", w.Hung, w.Samples,
              GetTickCount64() - start);
  EXPECT_EQ(WaitCopyEnd(), 0u);
  EXPECT_EQ(w.Hung, 0) << "of " << w.Samples << " samples, 100 ms apart";
  EXPECT_GT(w.Samples, 50);  // the lookup waited more than 5 s: the rule could have struck
  EXPECT_FALSE(w.CaptionChanged);
  ExpectRemoved();
}

// The end of the session asked for during the Delete command: first while
// the feedback is on its way (the server holds its answer until then), then
// during the walk. Not forced, "wineboot --end-session" asks every window;
// when one says "not now" it tells them all that the session goes on
// (WM_ENDSESSION with FALSE) and exits with 1. The copy runs on to its end.
// What Wine cannot show: Windows' own screen of the programs that hold the
// session, with the reason each gave (Wine keeps none), and the user's "Shut
// down anyway", after which the copy is ended wherever it is.
TEST_F(Uninstall, TheSessionWaitsForTheRemoval) {
  const TFileHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  TScriptedServer server({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", TEnd::Close, gate.Get()});
  HWND form = StartWithFeedback(
      {.Tree = u"C:\\QmSession", .DelUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/fb"}, u"x@y",
      u"logging off");
  ASSERT_NE(form, nullptr);
  const std::u16string wineboot = u"C:\\windows\\system32\\wineboot.exe";
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  // The panel closes just before the feedback is sent, within the command.
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(Control(form, idMemo1)); }));
  EXPECT_EQ(RunAndWait(wineboot, u"--end-session"), 1) << "the session was let end";
  EXPECT_EQ(WaitForSingleObject(FCopy, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the copy was ended";

  SetEvent(gate.Get());
  HWND bar = Control(form, idPB);
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) > 0 || !IsWindow(form); }));
  const LRESULT at = SendMessageW(bar, PBM_GETPOS, 0, 0);
  const int during = RunAndWait(wineboot, u"--end-session");
  // Timing decides whether the walk was still on when the windows were asked.
  std::printf("end of session asked with the bar at %ld of %ld: wineboot exited with %d\n", static_cast<long>(at),
              static_cast<long>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0)), during);
  EXPECT_EQ(WaitCopyEnd(), 0u);
  ExpectRemoved();
  EXPECT_FALSE(FolderExists(FProduct + u"\\Data"));
}

// Wine's managed windows (its default) keep the instance that handed over
// alive for about 2 s after the copy's window shows; Delete pressed at once
// must still remove "uninstall.exe" and the folder.
TEST_F(Uninstall, DeletePressedWhileTheHandingOverInstanceStillRuns) {
  const std::u16string x11 = u"Software\\Wine\\X11 Driver";
  SetValue(HKEY_CURRENT_USER, x11, u"Managed", u"Y");
  Stage({});
  HANDLE first = nullptr;
  HWND form = StartUninstaller(&first);
  SetValue(HKEY_CURRENT_USER, x11, u"Managed", u"N");
  ASSERT_NE(form, nullptr);
  ASSERT_NE(first, nullptr);
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  const bool firstAlive = WaitForSingleObject(first, 0) == WAIT_TIMEOUT;
  EXPECT_EQ(WaitCopyEnd(), 0u);
  WaitForSingleObject(first, 30000);
  CloseHandle(first);
  if (!firstAlive) std::printf("note: the handing-over instance had ended before Delete; the race was not met\n");
  EXPECT_FALSE(FileExists(FProduct + u"\\uninstall.exe"));
  ExpectRemoved();
}

}  // namespace

namespace {

// Where a removal is ended from outside: partway through the walk, right
// after it, during the registry cleanup and during the shortcuts.
enum class TCut { MidWalk, AfterWalk, MidRegistry, MidShortcuts };

class UninstallInterrupted : public Uninstall, public ::testing::WithParamInterface<TCut> {
 protected:
  // Enough of each step that the copy can be ended inside it: product files
  // (deleted in name order, as NTFS lists them, and after "uninstall.exe"),
  // subkeys of a product key (deleted from the last) and files of the
  // Start-menu group.
  void StageMore() {
    const std::u16string media = FProduct + u"\\Video";
    CreateDirectoryW(W(media), nullptr);
    for (int i = 0; i < 2000; ++i) WriteBytes(media + u"\\m" + Pad(i) + u".mp3", "media");
    for (int i = 0; i < 3000; ++i) MakeKey({HKEY_CLASSES_ROOT, u"QWV4.AVI\\shell\\v" + Pad(i)});
    for (int i = 0; i < 1500; ++i) WriteBytes(FPrograms + u"\\Quillmoor\\g" + Pad(i) + u".lnk", "shortcut");
  }
  static std::u16string Pad(int i) {
    const std::u16string n = IntToText(i);
    return std::u16string(4 - n.size(), u'0') + n;
  }
  static DWORD Subkeys(const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, W(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD n = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return n;
  }
  bool Reached(TCut cut) const {
    switch (cut) {
      case TCut::MidWalk:
        return !FileExists(FProduct + u"\\Video\\m1000.mp3");
      case TCut::AfterWalk:  // the last folder the walk deletes, in name order
        return !FolderExists(FProduct + u"\\Video");
      case TCut::MidRegistry:
        return Subkeys(u"QWV4.AVI\\shell") < 1500;
      case TCut::MidShortcuts:
        return !FileExists(FPrograms + u"\\Quillmoor\\g0750.lnk");
    }
    return false;
  }
};
std::string CutName(const ::testing::TestParamInfo<TCut>& info) {
  static const char* const names[] = {"MidWalk", "AfterWalk", "MidRegistry", "MidShortcuts"};
  return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Cuts, UninstallInterrupted,
                         ::testing::Values(TCut::MidWalk, TCut::AfterWalk, TCut::MidRegistry, TCut::MidShortcuts),
                         CutName);

// The copy ended from outside (the power goes, Task Manager, a crash): until
// everything else has gone, "uninstall.exe" and the product's entry in the
// list of installed programs stay, and running it again, as that list would,
// ends as a removal that was never interrupted.
TEST_P(UninstallInterrupted, RunningItAgainFinishesTheRemoval) {
  Stage({});
  StageMore();
  HWND form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  HANDLE copy = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, FPid);
  ASSERT_NE(copy, nullptr);
  PostMessageW(Control(form, idInsButton), BM_CLICK, 0, 0);
  const DWORD start = GetTickCount();
  bool reached = false;
  while (!(reached = Reached(GetParam())) && GetTickCount() - start < 60000 &&
         WaitForSingleObject(copy, 0) == WAIT_TIMEOUT)
    Sleep(1);
  TerminateProcess(copy, 1);
  WaitForSingleObject(copy, 10000);
  CloseHandle(copy);
  WaitCopyEnd();
  ASSERT_TRUE(reached) << "the copy ended before the point was reached";
  EXPECT_TRUE(FileExists(FProduct + u"\\uninstall.exe"));
  EXPECT_TRUE(KeyExists({HKEY_LOCAL_MACHINE, UninstallList + u"Quillmoor"}));

  form = StartUninstaller();
  ASSERT_NE(form, nullptr);
  PressAndWaitEnd(form, idInsButton);
  ExpectRemoved();
  EXPECT_FALSE(KeyExists({HKEY_CLASSES_ROOT, u"QWV4.AVI"}));
}

}  // namespace
