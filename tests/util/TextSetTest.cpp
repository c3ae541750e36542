// Text sets, LangText, and the traditional texts of the library on a Big5
// system.
#include "Lx_base.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppLangAs.h"

using namespace TOrvekFuncs;

using testsupport::AppLangAs;

namespace {

const TLangTextSet Sample({"打开", "端口"}, {"打開", "序列埠"}, {"Open", "Port"});

// The traditional texts of the engine's errors, the settings dialog
// (entries 0-35) and the about box, as those units show them.
const std::vector<const char*> LibraryTraditionalTexts = {
    // engine errors 1-14 and the unknown one
    "記憶體不夠", "不能初始化讀緩存", "不能初始化寫緩存", "不能打開埠", "不能設置埠事件MASK",
    "不能設置埠緩存", "不能得到埠參數", "不能設置埠參數", "不能創建埠非同步讀事件",
    "不能創建埠非同步寫事件", "不能創建埠讀執行緒", "不能創建埠寫執行緒", "不能關閉埠讀執行緒",
    "不能關閉埠寫執行緒", "未知錯誤",
    // settings dialog
    "確定", "取消", "序列埠設置", "序 列 埠", "傳輸速率", "奇偶校驗", "資料位元", "停止位元", "資料流控",
    "No parity (無)", "Odd (奇)", "Even (偶)", "Mark (標記)", "None (無)", "RTS/CTS (硬體)",
    "Xon/Xoff (軟體)", "RTS/CTS & Xon/Xoff (硬&軟)", "必須選擇序列埠", "必須輸入/選擇序列傳輸速率",
    "無效的序列傳輸速率", "必須選擇資料位元", "必須選擇奇偶校驗", "必須選擇停止位元", "必須選擇資料流程控制",
    "關於", "默認", "埠選項", "數據機選項", "緩存容量", "自動回應", "輸入緩存", "輸出緩存",
    "自動回應必須是 0 - 255 的整數", "輸入緩存容量錯誤", "輸出緩存容量錯誤", "Space (空白)",
    // about box
    "關於 ", "……", "用戶:", "單位:", "版本: 1.3.3.5", "確定",
};

} // namespace

TEST(TLangTextSet, HoldsChineseTextsInGbk)
{
    EXPECT_EQ(Sample.Count(), 2u);
    EXPECT_EQ(Sample.Entry(ltGbk, 0), TOrvekString("\xB4\xF2\xBF\xAA"));     // 打开
    EXPECT_EQ(CharsetToUtf8(Sample.Entry(ltBig5, 1), 134), "序列埠");
    EXPECT_EQ(Sample.Entry(ltEnglish, 1), TOrvekString("Port"));
    EXPECT_TRUE(Sample.Entry(ltGbk, 2).IsEmpty());
    EXPECT_TRUE(Sample.Entry(ltEnglish, 99).IsEmpty());
}

TEST(LangText, PicksTheTableByTheProcessLanguage)
{
    {
        AppLangAs gbk(ltGbk);
        EXPECT_EQ(LangText(Sample, 0), Sample.Entry(ltGbk, 0));
    }
    {
        AppLangAs big5(ltBig5);
        EXPECT_EQ(CharsetToUtf8(LangText(Sample, 1), 136), "序列埠");
        AppLang.fSetCvtBig5(false);
        EXPECT_EQ(LangText(Sample, 1), Sample.Entry(ltBig5, 1));
    }
    {
        AppLangAs english(ltEnglish);
        EXPECT_EQ(LangText(Sample, 0), TOrvekString("Open"));
    }
    {
        AppLangAs unknown(static_cast<TLangType>(7));
        EXPECT_EQ(LangText(Sample, 1), TOrvekString("Port"));
    }
}

TEST(LangText, EveryTraditionalLibraryTextShowsAsItselfInBig5)
{
    const TAppLang big5System(0x0404);
    for (const char* text : LibraryTraditionalTexts) {
        SCOPED_TRACE(text);
        const TOrvekString gbk = Utf8ToGbk(text);
        ASSERT_EQ(CharsetToUtf8(gbk, 134), text) << "not representable in GBK";
        const TOrvekString shown = big5System.FromGBK(gbk);
        EXPECT_EQ(shown.Length(), gbk.Length());
        EXPECT_EQ(CharsetToUtf8(shown, 136), text);
    }
}

TEST(CharsetConversion, DecodesByFontCharsetAndMarksBadBytes)
{
    EXPECT_EQ(CharsetToUtf8(TOrvekString("\xA6\x72"), 136), "字");
    EXPECT_EQ(CharsetToUtf8(TOrvekString("\xD7\xD6"), 134), "字");
    EXPECT_EQ(CharsetToUtf8(TOrvekString("caf\xE9"), 0), "café");
    // A lead byte cut off at the end, and one before an impossible trail.
    EXPECT_EQ(CharsetToUtf8(TOrvekString("A\xD7"), 134), "A\uFFFD");
    EXPECT_EQ(CharsetToUtf8(TOrvekString("\xD7" "0B"), 134), "\uFFFD0B");
    // A character GBK lacks is one '?', not one per UTF-8 byte; a stray
    // continuation byte is one too.
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), TOrvekString("a?b"));
    EXPECT_EQ(Utf8ToGbk("a\x80\xE5\xAD\x97"), TOrvekString("a?\xD7\xD6"));
    // A character cut short at the end.
    EXPECT_EQ(Utf8ToGbk("a\xE5\xAD"), TOrvekString("a?"));
    EXPECT_EQ(Utf8ToGbk(nullptr), TOrvekString());
}
