#include "FailureText.h"

#include <cerrno>

#include "Exception.h"
#include "LangQt.h"
#include "TComm32.h"

namespace {

const TOrvekFuncs::TLangTextSet PermissionHint(
    {"提示：当前用户须属于拥有该设备的用户组（通常为 dialout），加入后请重新登录。"},
    {"提示：目前使用者須屬於擁有該裝置的群組（通常為 dialout），加入後請重新登入。"},
    {"Hint: your user must be in the group that owns the device (usually dialout); log in again after joining it."});

} // namespace

QString FailureText(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const OrvekComm32::EComm32Error& error) {
        QString text = LangQString(error.Message());
        // The system's text is in the locale's coding.
        if (!error.OsReason.empty())
            text += QLatin1Char('\n') + QString::fromLocal8Bit(error.OsReason.c_str());
        if (error.OsError == EACCES || error.OsError == EPERM)
            text += QLatin1Char('\n') + LangQText(PermissionHint, 0);
        return text;
    } catch (const Exception& error) {
        return LangQString(error.Message());
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QString();
    }
}
