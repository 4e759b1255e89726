#ifndef QM_UI_LANG_H
#define QM_UI_LANG_H

// The language table and its lookup. Portable.
// Language index: 0 Russian, 1 Ukrainian, 2 English, 3 Dutch, 4 Polish.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TStrings = std::vector<std::u16string>;

constexpr int LangCount = 5;

// The current language index; set by ChooseLanguage and every ApplyLanguage.
extern int CurLang;
// The current language's message for missing feedback fields (key 8).
extern std::u16string EmptyFieldsMsg;

// The 79 lines of the language table as the window holds them in uLang.
TStrings LanguageTableLines();

// The trimmed text before the first "=" of the trimmed line; empty without "=".
std::u16string LineKey(std::u16string_view line);

// Up to 255 characters after the first "=" of the trimmed line, trimmed; the
// first 255 characters of the trimmed line, trimmed, when it holds no "=".
std::u16string LineValue(std::u16string_view line);

// The value of key for the language index: the scan starts at the header
// "[#lang<index>]" (or the first line when there is none) and runs to the end
// of the table. Empty when no line has the key.
std::u16string GetLangValue(const TStrings& table, int index, std::u16string_view key);

// The language index that a system language identifier selects at start-up:
// 1049, 1058, 1033, 1043 and 1045 exactly; English for every other one.
int LangIndexFromLangId(std::uint16_t langId);

#endif
