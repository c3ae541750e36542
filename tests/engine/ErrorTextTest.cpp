// The exception's message follows the process language, GBK-coded for
// Chinese (and Big5 on a traditional system), with a fallback text for a
// code it does not know.
#include <gtest/gtest.h>

#include "AppLangAs.h"
#include "EComm32Error.h"
#include "Lx_base.h"

using OrvekComm32::EComm32Error;
using TOrvekFuncs::Utf8ToGbk;

namespace {

TEST(ErrorText, EachLanguagesTexts)
{
    struct Case {
        TOrvekFuncs::TLangType Language;
        int Code;
        const char* Utf8;
    };
    const Case cases[] = {
        {TOrvekFuncs::ltEnglish, 1, "Out of memory"},
        {TOrvekFuncs::ltEnglish, 9, "Cannot create COM port asynchronize read event"},
        {TOrvekFuncs::ltEnglish, 14, "Cannot close COM port write thread"},
        {TOrvekFuncs::ltEnglish, 99, "Unknown error"},
        {TOrvekFuncs::ltEnglish, 0, "Unknown error"},
        {TOrvekFuncs::ltGbk, 8, "不能设置端口参数"},
        {TOrvekFuncs::ltGbk, 99, "未知错误"},
        {TOrvekFuncs::ltBig5, 4, "不能打開埠"},
        {TOrvekFuncs::ltBig5, 11, "不能創建埠讀執行緒"},
    };
    for (const auto& c : cases) {
        testsupport::AppLangAs language(c.Language);
        const std::string expected = TOrvekFuncs::AppLang.FromGBK(Utf8ToGbk(c.Utf8)).c_str();
        EXPECT_EQ(EComm32Error(static_cast<EComm32Error::TErrorCode>(c.Code)).Message().c_str(), expected)
            << c.Language << " " << c.Code;
    }
}

} // namespace
