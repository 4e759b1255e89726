#include "embed-config/IniConfigSource.h"

#include "base/ScopedHandle.h"
#include "base/Win32Text.h"

std::u16string TIniConfigSource::ReadString(const std::u16string& section, const std::u16string& key,
                                            const std::u16string& def) const {
  return FIni.ReadString(section, key, def);
}

std::vector<std::u16string> TIniConfigSource::ReadSection(const std::u16string& section) const {
  return FIni.ReadSection(section);
}

std::vector<std::u16string> TIniConfigSource::ReadSectionNames() const { return FIni.ReadSectionNames(); }

std::size_t TIniConfigSource::ValueLength(const std::u16string& section, const std::u16string& key) const {
  // A cut value fills the buffer: size - 1 characters come back.
  std::vector<wchar_t> buf(4096);
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(W(section), W(key), L"", buf.data(), static_cast<DWORD>(buf.size()),
                                             W(FIni.FileName()));
    if (n + 1 < buf.size()) return n;
    buf.resize(buf.size() * 4);
  }
}

std::string TIniConfigSource::Bytes() const {
  TFileHandle file(CreateFileW(W(FIni.FileName()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  while (file.IsValid() && ReadFile(file.Get(), buf, sizeof(buf), &got, nullptr) && got) bytes.append(buf, got);
  return bytes;
}
