// The exception's message follows the process language, GBK-coded for
// Chinese (Big5 on a traditional system), with a text for unknown codes.
#include <gtest/gtest.h>

#include "AppLangAs.h"
#include "EComm32Error.h"
#include "Lx_base.h"

using OrvekComm32::EComm32Error;
using namespace TOrvekFuncs;

namespace {

TEST(ErrorText, EachLanguagesTexts)
{
    const struct {
        TLangType Language;
        int Code;
        const char* Utf8;
    } cases[] = {
        {ltEnglish, 9, "Cannot create COM port asynchronize read event"},
        {ltEnglish, 14, "Cannot close COM port write thread"},
        {ltEnglish, 0, "Unknown error"},
        {ltGbk, 8, "不能设置端口参数"},
        {ltGbk, 99, "未知错误"},
        {ltBig5, 11, "不能創建埠讀執行緒"},
    };
    for (const auto& c : cases) {
        testsupport::AppLangAs language(c.Language);
        const std::string expected = AppLang.FromGBK(Utf8ToGbk(c.Utf8)).c_str();
        EXPECT_EQ(EComm32Error(static_cast<EComm32Error::TErrorCode>(c.Code)).Message().c_str(), expected) << c.Code;
    }
}

} // namespace
