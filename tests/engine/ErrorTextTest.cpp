// The exception's message follows the process language, GBK-coded for
// Chinese, with a fallback text for a code it does not know.
#include <gtest/gtest.h>

#include "AppLangAs.h"
#include "EngineHelpers.h"
#include "Lx_base.h"
#include "TComm32.h"

using namespace OrvekComm32;
using testsupport::AppLangAs;
using TOrvekFuncs::Utf8ToGbk;

namespace {

std::string Text(int code)
{
    return EComm32Error(static_cast<EComm32Error::TErrorCode>(code)).Message().c_str();
}

TEST(ErrorText, EnglishTexts)
{
    AppLangAs english(TOrvekFuncs::ltEnglish);
    EXPECT_EQ(Text(1), "Out of memory");
    EXPECT_EQ(Text(4), "Cannot open COM port");
    EXPECT_EQ(Text(9), "Cannot create COM port asynchronize read event");
    EXPECT_EQ(Text(14), "Cannot close COM port write thread");
    EXPECT_EQ(Text(99), "Unknown error");
    EXPECT_EQ(Text(0), "Unknown error");
}

TEST(ErrorText, SimplifiedChineseTexts)
{
    AppLangAs gbk(TOrvekFuncs::ltGbk);
    EXPECT_EQ(Text(4), Utf8ToGbk("不能打开端口").c_str());
    EXPECT_EQ(Text(8), Utf8ToGbk("不能设置端口参数").c_str());
    EXPECT_EQ(Text(99), Utf8ToGbk("未知错误").c_str());
}

TEST(ErrorText, TraditionalChineseTextsPassThroughFromGbk)
{
    AppLangAs big5(TOrvekFuncs::ltBig5);
    EXPECT_EQ(Text(4), TOrvekFuncs::AppLang.FromGBK(Utf8ToGbk("不能打開埠")).c_str());
    EXPECT_EQ(Text(11), TOrvekFuncs::AppLang.FromGBK(Utf8ToGbk("不能創建埠讀執行緒")).c_str());
}

TEST(ErrorText, KeepsTheCodeAndTheSystemsReason)
{
    const EComm32Error error(EComm32Error::ecOpenPort, 13, "/dev/ttyS0: Permission denied");
    EXPECT_EQ(error.ErrorCode, EComm32Error::ecOpenPort);
    EXPECT_EQ(error.OsError, 13);
    EXPECT_EQ(error.OsReason, "/dev/ttyS0: Permission denied");
}

} // namespace
