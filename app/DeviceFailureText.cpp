#include "DeviceFailureText.h"

#include <cerrno>

#include "LangQt.h"
#include "TComm32.h"

namespace {

const TOrvekFuncs::TLangTextSet PermissionHint(
    {"提示：当前用户须属于拥有该设备的用户组（通常为 dialout），加入后请重新登录。"},
    {"提示：目前使用者須屬於擁有該裝置的群組（通常為 dialout），加入後請重新登入。"},
    {"Hint: your user must be in the group that owns the device (usually dialout); log in again after joining it."});

} // namespace

QString DeviceFailureText(const Exception& error)
{
    QString text = QStringLiteral("LxCommDevice1: ") + LangQString(error.Message());
    const auto* commError = dynamic_cast<const OrvekComm32::EComm32Error*>(&error);
    if (commError == nullptr)
        return text;
    if (!commError->OsReason.empty())
        text += QLatin1Char('\n') + QString::fromStdString(commError->OsReason);
    if (commError->OsError == EACCES || commError->OsError == EPERM)
        text += QLatin1Char('\n') + LangQText(PermissionHint, 0);
    return text;
}
