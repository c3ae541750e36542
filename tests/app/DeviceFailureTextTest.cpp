#include "DeviceFailureText.h"

#include <cerrno>

#include <QStringList>
#include <gtest/gtest.h>

#include "LangQt.h"
#include "TComm32.h"

namespace {

using OrvekComm32::EComm32Error;

QStringList Lines(const QString& text)
{
    return text.split(QLatin1Char('\n'));
}

TEST(DeviceFailureText, NamesTheComponentBeforeTheLibraryText)
{
    const EComm32Error error(EComm32Error::ecOpenPort);
    const QString text = DeviceFailureText(error);
    EXPECT_EQ(text, QStringLiteral("LxCommDevice1: ") + LangQString(error.Message()));
    EXPECT_FALSE(LangQString(error.Message()).isEmpty());

    const Exception plain(TOrvekFuncs::TOrvekString("broken"));
    EXPECT_EQ(DeviceFailureText(plain), QStringLiteral("LxCommDevice1: broken"));
}

TEST(DeviceFailureText, AddsTheSystemReasonOnASecondLine)
{
    const EComm32Error error(EComm32Error::ecOpenPort, ENOENT, "/dev/ttyUSB7: No such file or directory");
    const QStringList lines = Lines(DeviceFailureText(error));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("LxCommDevice1: ") + LangQString(error.Message()));
    EXPECT_EQ(lines[1], QStringLiteral("/dev/ttyUSB7: No such file or directory"));
}

TEST(DeviceFailureText, HintsAtTheDeviceGroupOnlyForPermissionProblems)
{
    for (int permission : {EACCES, EPERM}) {
        const EComm32Error error(EComm32Error::ecOpenPort, permission, "/dev/ttyS0: Permission denied");
        const QStringList lines = Lines(DeviceFailureText(error));
        ASSERT_EQ(lines.size(), 3) << permission;
        EXPECT_EQ(lines[1], QStringLiteral("/dev/ttyS0: Permission denied"));
        EXPECT_TRUE(lines[2].contains(QStringLiteral("dialout"))) << lines[2].toStdString();
    }
    const EComm32Error busy(EComm32Error::ecOpenPort, EBUSY, "/dev/ttyS0: Device or resource busy");
    EXPECT_EQ(Lines(DeviceFailureText(busy)).size(), 2);
}

} // namespace
