// The engine's exception and its message texts in the three languages.
#include "EComm32Error.h"

#include <cstddef>
#include <iterator>

#include "Lx_base.h"
#include "SystemReason.h"

namespace OrvekComm32 {
namespace {

using TOrvekFuncs::TLangTextSet;

// One entry per code of Codes, in the same order, and the unknown-code text
// last.
constexpr EComm32Error::TErrorCode Codes[] = {
    EComm32Error::ecOutOfMemory,  EComm32Error::ecReadBuffer,      EComm32Error::ecWriteBuffer,
    EComm32Error::ecOpenPort,     EComm32Error::ecSetCommMask,     EComm32Error::ecSetupComm,
    EComm32Error::ecGetCommState, EComm32Error::ecSetCommState,    EComm32Error::ecReadEvent,
    EComm32Error::ecWriteEvent,   EComm32Error::ecReadThread,      EComm32Error::ecWriteThread,
    EComm32Error::ecCloseReadThread, EComm32Error::ecCloseWriteThread, EComm32Error::ecPortLost,
};
constexpr std::size_t UnknownCodeText = std::size(Codes);

const TLangTextSet& ErrorTexts()
{
    static const TLangTextSet texts(
        {
            "内存不够",
            "不能初始化读缓存",
            "不能初始化写缓存",
            "不能打开端口",
            "不能设置端口事件MASK",
            "不能设置端口缓存",
            "不能得到端口参数",
            "不能设置端口参数",
            "不能创建端口异步读事件",
            "不能创建端口异步写事件",
            "不能创建端口读线程",
            "不能创建端口写线程",
            "不能关闭端口读线程",
            "不能关闭端口写线程",
            "端口已断开",
            "未知错误",
        },
        {
            "記憶體不夠",
            "不能初始化讀緩存",
            "不能初始化寫緩存",
            "不能打開埠",
            "不能設置埠事件MASK",
            "不能設置埠緩存",
            "不能得到埠參數",
            "不能設置埠參數",
            "不能創建埠非同步讀事件",
            "不能創建埠非同步寫事件",
            "不能創建埠讀執行緒",
            "不能創建埠寫執行緒",
            "不能關閉埠讀執行緒",
            "不能關閉埠寫執行緒",
            "埠已斷開",
            "未知錯誤",
        },
        {
            "Out of memory",
            "Cannot initialize read buffer",
            "Cannot initialize write buffer",
            "Cannot open COM port",
            "Cannot set comm-mask",
            "Cannot set COM port buffer size",
            "Cannot read COM port parameters",
            "Cannot set COM port parameters",
            "Cannot create COM port asynchronize read event",
            "Cannot create COM port asynchronize write event",
            "Cannot create COM port read thread",
            "Cannot create COM port write thread",
            "Cannot close COM port read thread",
            "Cannot close COM port write thread",
            "COM port disconnected",
            "Unknown error",
        });
    return texts;
}

const TLangTextSet& HintTexts()
{
    static const TLangTextSet texts(
        {"提示：当前用户须属于拥有该设备的用户组（通常为 dialout），加入后请重新登录。"},
        {"提示：目前使用者須屬於擁有該裝置的群組（通常為 dialout），加入後請重新登入。"},
        {"Hint: your user must be in the group that owns the device (usually dialout); log in again after joining it."});
    return texts;
}

std::size_t TextIndexOfCode(EComm32Error::TErrorCode code)
{
    for (std::size_t i = 0; i < std::size(Codes); ++i)
        if (Codes[i] == code)
            return i;
    return UnknownCodeText;
}

} // namespace

EComm32Error::EComm32Error(TErrorCode code)
    : Exception(TOrvekFuncs::LangText(ErrorTexts(), TextIndexOfCode(code))), ErrorCode(code)
{
}

EComm32Error::EComm32Error(TErrorCode code, int osError, std::string osReason)
    : EComm32Error(code)
{
    OsError = osError;
    OsReason = std::move(osReason);
}

TOrvekFuncs::TOrvekString EComm32Error::Hint() const
{
    if (!Platform::PermissionRefused(OsError))
        return {};
    return TOrvekFuncs::LangText(HintTexts(), 0);
}

} // namespace OrvekComm32
