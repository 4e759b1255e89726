#include "removal/SelfDeleteBatch.h"

std::u16string SelfDeleteBatchText(std::u16string_view exePath, std::u16string_view batPath) {
  const std::u16string exe = u"\"" + std::u16string(exePath) + u"\"";
  return u":try\r\n"
         u"del " +
         exe +
         u"\r\n"
         u"if exist " +
         exe +
         u" goto try\r\n"
         u"del \"" +
         std::u16string(batPath) + u"\"\r\n";
}
