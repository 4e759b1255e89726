// embed-config: what the product's installer does to uninstall.exe. Writes an
// INI file into an executable as the resource "UNIN" of type "LIST",
// replacing any there. The target is changed through a copy that replaces it
// only once the copy has been checked, so it is never left half-written.
// Before that, and alone with --check, it reads the configuration as the
// uninstaller will and reports what the uninstaller will do with it.
//
//   embed-config [--force] [--json] TARGET.exe CONFIG.ini
//   embed-config --check [--json] CONFIG.ini
//
// A signed target is refused: the resource would lie inside what the
// signature covers. Embed first, then sign.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "embed-config/ConfigCheck.h"
#include "embed-config/ConfigReport.h"
#include "embed-config/IniConfigSource.h"
#include "base/Text.h"
#include "base/Win32Text.h"

namespace {

int Fail(const wchar_t* what, const std::wstring& path, DWORD err = 0) {
  std::wstring msg = std::wstring(L"embed-config: ") + what + L": " + path;
  if (err) {
    wchar_t* text = nullptr;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) &&
        text) {
      msg += L" (";
      msg += text;
      while (!msg.empty() && (msg.back() == L'\n' || msg.back() == L'\r' || msg.back() == L' ')) msg.pop_back();
      msg += L")";
      LocalFree(text);
    }
  }
  fwprintf(stderr, L"%ls\n", msg.c_str());
  return 1;
}

bool ReadFileBytes(const std::wstring& path, std::vector<char>& bytes, DWORD& err) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    err = GetLastError();
    return false;
  }
  bytes.clear();
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(f, buf, sizeof(buf), &got, nullptr) != FALSE) && got) bytes.insert(bytes.end(), buf, buf + got);
  err = ok ? 0 : GetLastError();
  CloseHandle(f);
  return ok;
}

// A PE image: "MZ", a header offset inside the file, "PE\0\0" there.
bool IsPeImage(const std::vector<char>& b) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return false;
  const DWORD off = *reinterpret_cast<const DWORD*>(&b[0x3C]);
  return off <= b.size() - 4 && b[off] == 'P' && b[off + 1] == 'E' && b[off + 2] == 0 && b[off + 3] == 0;
}

// The size of the image's certificate table (the security directory, where an
// Authenticode signature lives); 0 for an unsigned image. b is a PE image.
DWORD CertificateTableSize(const std::vector<char>& b) {
  const auto read = [&](size_t at, auto& value) {
    if (at + sizeof(value) > b.size()) return false;
    memcpy(&value, &b[at], sizeof(value));
    return true;
  };
  DWORD pe = 0, count = 0, address = 0, size = 0;
  WORD magic = 0;
  if (!read(0x3C, pe) || !read(pe + 24, magic)) return 0;
  // The data directories follow the optional header's fixed part, preceded by their count.
  const size_t directories = pe + 24 + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 112 : 96);
  const size_t entry = directories + IMAGE_DIRECTORY_ENTRY_SECURITY * 8;
  if (!read(directories - 4, count) || count <= IMAGE_DIRECTORY_ENTRY_SECURITY || !read(entry, address) ||
      !read(entry + 4, size))
    return 0;
  return address ? size : 0;
}

// A callback of the system: nothing may leave it.
BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param) {
  try {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(lang);
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

// The languages of the copies of LIST/UNIN the image holds now.
std::vector<WORD> ExistingLanguages(const std::wstring& path) {
  std::vector<WORD> langs;
  HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (m) {
    EnumResourceLanguagesW(m, L"LIST", L"UNIN", CollectLanguage, reinterpret_cast<LONG_PTR>(&langs));
    FreeLibrary(m);
  }
  return langs;
}

// True when the image at path holds exactly data as LIST/UNIN, in one language.
bool HoldsConfig(const std::wstring& path, const std::vector<char>& data) {
  HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return false;
  bool ok = false;
  if (HRSRC r = FindResourceW(m, L"UNIN", L"LIST")) {
    const DWORD size = SizeofResource(m, r);
    const void* p = LockResource(LoadResource(m, r));
    ok = p && size == data.size() && memcmp(p, data.data(), size) == 0;
  }
  FreeLibrary(m);
  return ok && ExistingLanguages(path).size() == 1;
}

// Text to standard output: UTF-16 to a console, UTF-8 to a file or a pipe.
void WriteOut(const std::u16string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, W(text), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = Utf16ToUtf8(text);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Writes ini into target through a checked copy; 0, or 1 after a message.
int EmbedInto(const std::wstring& target, const std::vector<char>& ini) {
  const std::wstring work = target + L".embed-config.tmp";
  if (!CopyFileW(target.c_str(), work.c_str(), FALSE)) return Fail(L"cannot copy the target", work, GetLastError());
  auto abandon = [&](const wchar_t* what, DWORD code) {
    DeleteFileW(work.c_str());
    return Fail(what, target, code);
  };

  const std::vector<WORD> old = ExistingLanguages(work);
  HANDLE upd = BeginUpdateResourceW(work.c_str(), FALSE);
  if (!upd) return abandon(L"cannot open the target's resources", GetLastError());
  bool ok = true;
  for (WORD lang : old) ok = ok && UpdateResourceW(upd, L"LIST", L"UNIN", lang, nullptr, 0);
  ok = ok && UpdateResourceW(upd, L"LIST", L"UNIN", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                             const_cast<char*>(ini.data()), static_cast<DWORD>(ini.size()));
  const DWORD updErr = ok ? 0 : GetLastError();
  if (!EndUpdateResourceW(upd, ok ? FALSE : TRUE) || !ok)
    return abandon(L"cannot write the resource", updErr ? updErr : GetLastError());
  if (!HoldsConfig(work, ini)) return abandon(L"the written resource does not read back", 0);
  if (!MoveFileExW(work.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return abandon(L"cannot replace the target", GetLastError());
  return 0;
}

int Usage() {
  fwprintf(stderr,
           L"usage: embed-config [--force] [--json] TARGET.exe CONFIG.ini\n"
           L"       embed-config --check [--json] CONFIG.ini\n"
           L"Writes CONFIG.ini into TARGET.exe as the resource UNIN of type LIST, after a check that\n"
           L"reports what the uninstaller will read and do. A configuration with errors is not\n"
           L"embedded unless --force is given; --check only reports; --json reports as one JSON object.\n"
           L"A signed target is refused (embed first, then sign); --force embeds anyway and voids its signature.\n"
           L"Exit code: 0 done (warnings allowed), 1 a file could not be read or written, 2 usage,\n"
           L"3 the configuration has errors, 4 the target is signed (nothing written either time).\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool check = false, json = false, force = false;
  std::vector<std::wstring> files;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--check")
      check = true;
    else if (arg == L"--json")
      json = true;
    else if (arg == L"--force")
      force = true;
    else if (arg.starts_with(L"--"))
      return Usage();
    else
      files.push_back(arg);
  }
  if (files.size() != (check ? 1u : 2u) || (check && force)) return Usage();
  const std::wstring config = files.back(), target = check ? std::wstring() : files.front();

  std::vector<char> ini, image;
  DWORD err = 0;
  if (!ReadFileBytes(config, ini, err)) return Fail(L"cannot read the configuration", config, err);
  if (ini.empty()) return Fail(L"the configuration is empty", config);
  if (!check) {
    if (!ReadFileBytes(target, image, err)) return Fail(L"cannot read the target", target, err);
    if (!IsPeImage(image)) return Fail(L"the target is not a Windows executable (PE image)", target);
  }

  // The private-profile reader takes a name without a folder from the
  // Windows folder: the check reads the file by its full path.
  wchar_t full[32768];
  const DWORD n = GetFullPathNameW(config.c_str(), 32768, full, nullptr);
  if (n == 0 || n >= 32768) return Fail(L"cannot read the configuration", config, GetLastError());
  const TConfigReport report = CheckConfiguration(TIniConfigSource(U(full, n)));
  const std::u16string configName = U(config.c_str()), targetName = U(target.c_str());
  if (!json) WriteOut(FormatReportText(report, configName));
  const auto printJson = [&](bool embedded) {
    WriteOut(Utf8ToUtf16(FormatReportJson(report, configName, targetName, embedded)) + u"\r\n");
  };
  const std::size_t errors = report.Count(TSeverity::Error);

  if (check) {
    if (json) printJson(false);
    return errors ? 3 : 0;
  }
  if (errors && !force) {
    if (json) printJson(false);
    fwprintf(stderr, L"embed-config: the configuration has errors; %ls is unchanged (--force embeds it anyway)\n",
             target.c_str());
    return 3;
  }
  // Embedding changes the image that the signature covers: the release
  // order is build, check, embed, sign, verify.
  const bool isSigned = CertificateTableSize(image) != 0;
  if (isSigned && !force) {
    if (json) printJson(false);
    fwprintf(stderr,
             L"embed-config: %ls carries an Authenticode signature, which embedding would break: embed the "
             L"configuration first, then sign. %ls is unchanged (--force embeds anyway and leaves the signature "
             L"void)\n",
             target.c_str(), target.c_str());
    return 4;
  }
  const int rc = EmbedInto(target, ini);
  if (rc == 0 && isSigned)
    fwprintf(stderr, L"embed-config: the signature of %ls is now void: sign it again\n", target.c_str());
  if (json) {
    printJson(rc == 0);
  } else if (rc == 0) {
    WriteOut(u"embed-config: " + targetName + u" now holds " + configName + u" (" +
             IntToText(static_cast<std::int64_t>(ini.size())) + u" bytes" + (errors ? u", despite its errors" : u"") +
             u")\r\n");
  }
  return rc;
}
