#include "removal/SelfDeleteBatch.h"

std::u16string EscapeBatchPercent(std::u16string_view path) {
  std::u16string r;
  for (const char16_t c : path) {
    if (c == u'%') r += u'%';
    r += c;
  }
  return r;
}

std::u16string SelfDeleteBatchText(std::u16string_view exePath, std::u16string_view batPath) {
  const std::u16string exe = u"\"" + EscapeBatchPercent(exePath) + u"\"";
  return u":try\r\n"
         u"del " +
         exe +
         u"\r\n"
         u"if exist " +
         exe +
         u" goto try\r\n"
         u"del \"" +
         EscapeBatchPercent(batPath) + u"\"\r\n";
}
