#ifndef QM_EMBEDCONFIG_CONFIGENCODING_H
#define QM_EMBEDCONFIG_CONFIGENCODING_H

// The character encoding of a configuration file as the uninstaller's
// private-profile reader (GetPrivateProfileStringW) sees it on the user's
// machine. Portable.
//
// Which byte-order marks the reader takes (Wine 8.0: tried here; Windows 10
// and 11: as its users report it):
//   FF FE (UTF-16 LE)  Windows and Wine: read as UTF-16, the same under every code page.
//   EF BB BF (UTF-8)   Wine: read as UTF-8. Windows: not recognised; the whole file,
//                      the mark included, is read in the user's ANSI code page, so
//                      a section on the first line is lost behind the mark.
//   FE FF (UTF-16 BE)  Wine: read as UTF-16 BE. Windows: not recognised; read as
//                      ANSI text, in which no line starts a section.
//   none               Both: read in the user's ANSI code page (UTF-16 without a
//                      mark too: its NUL bytes end every name, nothing is found).
// The check follows Windows.

#include <string>
#include <string_view>
#include <vector>

enum class TConfigEncoding {
  Ascii,       // no mark, ASCII only: the same under every code page
  Utf16Le,     // FF FE: the same under every code page
  Utf8,        // no mark, non-ASCII text that is valid UTF-8: read in the user's code page
  Ansi,        // no mark, other 8-bit text: read in the user's code page
  Utf8Bom,     // EF BB BF: read, the mark included, in the user's code page
  Utf16Be,     // FE FF: nothing is read
  Utf16NoBom,  // NUL bytes and no mark: nothing is read
};

// The encoding of a file's bytes.
TConfigEncoding DetectConfigEncoding(std::string_view bytes);

// The encoding for people ("UTF-8 without a byte-order mark") and for scripts ("utf-8").
std::u16string EncodingName(TConfigEncoding encoding);
std::u16string EncodingId(TConfigEncoding encoding);

// True when what the uninstaller reads depends on the user's ANSI code page.
bool ReadsByCodePage(TConfigEncoding encoding);

// One of our users' ANSI code pages and who has it.
struct TUserCodePage {
  int CodePage;
  const char16_t* Users;
};
// 1251 (Russian, Ukrainian), 1250 (Polish), 1252 (English, Dutch).
inline constexpr TUserCodePage UserCodePages[] = {
    {1251, u"Russian, Ukrainian"}, {1250, u"Polish"}, {1252, u"English, Dutch"}};

// bytes as Windows reads them in codePage (1250, 1251 or 1252): a byte that
// the code page leaves undefined reads as the control character of its value.
std::u16string ReadInCodePage(std::string_view bytes, int codePage);

// Text of the file that the reader reads with its non-ASCII bytes.
struct TCodePageText {
  std::string Section;  // the section's name, as bytes
  std::string Key;      // the key's name; empty for the section's own line
  bool InName = false;  // the section's or the key's own name holds non-ASCII
  std::string Text;     // what reads differently: the value, or the whole line when InName
};

// Every section line and key line of a file read by code page (no byte-order
// mark, or a UTF-8 one, which Windows reads as text) that holds a byte above
// 0x7F, in file order. Comments and lines before the first section are not read.
std::vector<TCodePageText> CodePageDependentText(std::string_view bytes);

// The section on the first line, when the file starts with a UTF-8 mark and
// then "[": Windows reads the mark into that line, which then starts no
// section. Gives the section's name and the line, mark included; false otherwise.
bool SectionBehindUtf8Mark(std::string_view bytes, std::string& section, std::string& line);

#endif
