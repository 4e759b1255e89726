#include "removal/ProductKeys.h"

const std::array<std::u16string_view, 81> AssocExts = {
    u"QWP",  u"IFO", u"BDMV", u"MPLS", u"M3U",   u"ASX",  u"LST",  u"PLS",  u"CUE",  u"TS",  u"AVI",  u"AVS",
    u"OGM",  u"OGX", u"OGV",  u"MPG",  u"MKV",   u"3GP",  u"MOV",  u"ASF",  u"DIVX", u"M1V", u"M2V",  u"MPE",
    u"MPEG", u"MPV", u"M4V",  u"MP4",  u"MTS",   u"TP",   u"QT",   u"FLV",  u"F4V",  u"RM",  u"RMVB", u"RV",
    u"VOB",  u"WM",  u"WMV",  u"M2TS", u"HDMOV", u"EVO",  u"BIK",  u"WEBM", u"MP3",  u"OGG", u"WAV",  u"MKA",
    u"M4A",  u"AAC", u"APE",  u"AT3",  u"OMA",   u"FLAC", u"RAM",  u"AOB",  u"WMA",  u"CDA", u"AIF",  u"AIFC",
    u"AIFF", u"AC3", u"AU",   u"MP1",  u"MP2",   u"MPA",  u"MPC",  u"WV",   u"MOD",  u"S3M", u"XM",   u"IT",
    u"MO3",  u"RA",  u"SND",  u"DTS",  u"KAR",   u"MID",  u"MIDI", u"RMI",  u"AMR",
};

namespace {

// For each extension: the type under the first prefix, then under the second.
void AppendFileTypes(std::vector<TRegKeyPath>& keys, TRegRoot root, std::u16string_view base) {
  for (const auto ext : AssocExts)
    for (const std::u16string_view prefix : {u"QWV4.", u"KX2."})
      keys.push_back({root, std::u16string(base) + std::u16string(prefix) + std::u16string(ext)});
}

}  // namespace

std::vector<TRegKeyPath> ProductClassKeys() {
  std::vector<TRegKeyPath> keys;
  keys.reserve(2 * 2 * AssocExts.size() + 4 + 2 * 4);
  AppendFileTypes(keys, TRegRoot::ClassesRoot, u"");

  for (const char16_t* path :
       {u"SOFTWARE\\Classes\\QWV4_Shared", u"SOFTWARE\\Classes\\Applications\\QW.exe",
        u"SOFTWARE\\Classes\\Directory\\shell\\QW_Enqueue", u"SOFTWARE\\Classes\\Directory\\shell\\QW_PlayIn"})
    keys.push_back({TRegRoot::CurrentUser, path});
  AppendFileTypes(keys, TRegRoot::CurrentUser, u"Software\\Classes\\");

  const std::u16string handlers = u"CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\";
  const std::u16string wowHandlers = u"CurrentVersion\\explorer\\AutoplayHandlers\\Handlers\\";
  for (const auto& [software, h] : {std::pair{std::u16string(u"SOFTWARE\\"), handlers},
                                    std::pair{std::u16string(u"SOFTWARE\\Wow6432Node\\"), wowHandlers}}) {
    keys.push_back({TRegRoot::LocalMachine, software + u"Clients\\Media\\Quillmoor v45up"});
    for (const char16_t* handler : {u"QWV4DVDMovieOnArrival", u"QWV4MusicFilesOnArrival", u"QWV4VideoFilesOnArrival"})
      keys.push_back({TRegRoot::LocalMachine, software + u"Microsoft\\Windows\\" + h + handler});
  }
  return keys;
}

std::vector<TRegKeyPath> ProductUninstallKeys(std::u16string_view appName) {
  if (appName.empty() || appName.find(u'\\') != std::u16string_view::npos) return {};
  return {
      {TRegRoot::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::u16string(appName)}};
}
