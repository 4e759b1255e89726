// embed-config: what the product's installer does to uninstall.exe. Writes an
// INI file into an executable as the resource "UNIN" of type "LIST",
// replacing any there. The target is changed through a copy that replaces it
// only once the copy has been checked, so it is never left half-written.
//
//   embed-config TARGET.exe CONFIG.ini

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param) {
  reinterpret_cast<std::vector<WORD>*>(param)->push_back(lang);
  return TRUE;
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fwprintf(stderr,
             L"usage: embed-config TARGET.exe CONFIG.ini\n"
             L"Writes CONFIG.ini into TARGET.exe as the resource UNIN of type LIST.\n");
    return 2;
  }
  const std::wstring target = argv[1], config = argv[2];
  std::vector<char> ini, image;
  DWORD err = 0;
  if (!ReadFileBytes(config, ini, err)) return Fail(L"cannot read the configuration", config, err);
  if (ini.empty()) return Fail(L"the configuration is empty", config);
  if (!ReadFileBytes(target, image, err)) return Fail(L"cannot read the target", target, err);
  if (!IsPeImage(image)) return Fail(L"the target is not a Windows executable (PE image)", target);

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
  ok = ok && UpdateResourceW(upd, L"LIST", L"UNIN", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), ini.data(),
                             static_cast<DWORD>(ini.size()));
  const DWORD updErr = ok ? 0 : GetLastError();
  if (!EndUpdateResourceW(upd, ok ? FALSE : TRUE) || !ok)
    return abandon(L"cannot write the resource", updErr ? updErr : GetLastError());
  if (!HoldsConfig(work, ini)) return abandon(L"the written resource does not read back", 0);
  if (!MoveFileExW(work.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return abandon(L"cannot replace the target", GetLastError());
  wprintf(L"embed-config: %ls now holds %ls (%u bytes)\n", target.c_str(), config.c_str(),
          static_cast<unsigned>(ini.size()));
  return 0;
}
