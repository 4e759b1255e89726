#include <gtest/gtest.h>

#include "removal/SelfDeleteBatch.h"

namespace {

TEST(SelfDeleteBatch, FourQuotedLinesWithCrLf) {
  EXPECT_EQ(SelfDeleteBatchText(u"C:\\Temp dir\\QW_Setup.exe", u"C:\\Temp dir\\$$QW_DEL.bat"),
            u":try\r\n"
            u"del \"C:\\Temp dir\\QW_Setup.exe\"\r\n"
            u"if exist \"C:\\Temp dir\\QW_Setup.exe\" goto try\r\n"
            u"del \"C:\\Temp dir\\$$QW_DEL.bat\"\r\n");
  EXPECT_EQ(SelfDeleteBatchName, u"$$QW_DEL.bat");
}

}  // namespace

namespace {

TEST(RemovalBatch, PercentSignsAreDoubledInBothPaths) {
  EXPECT_EQ(EscapeBatchPercent(u"C:\\50%off\\%TEMP%"), u"C:\\50%%off\\%%TEMP%%");
  EXPECT_EQ(SelfDeleteBatchText(u"C:\\a%b\\x.exe", u"C:\\a%b\\$$QW_DEL.bat"),
            u":try\r\ndel \"C:\\a%%b\\x.exe\"\r\nif exist \"C:\\a%%b\\x.exe\" goto try\r\n"
            u"del \"C:\\a%%b\\$$QW_DEL.bat\"\r\n");
}

}  // namespace
