#include "FailureText.h"

#include <cerrno>

#include <QStringList>
#include <gtest/gtest.h>

#include "LangQt.h"
#include "TComm32.h"

namespace {

using OrvekComm32::EComm32Error;

QStringList LinesOf(const auto& error)
{
    return FailureText(std::make_exception_ptr(error)).split(QLatin1Char('\n'));
}

// The library's text, then the system's reason, then for a permission
// problem a hint at the device's group.
TEST(FailureText, LibraryTextSystemReasonAndPermissionHint)
{
    const QString open = LangQString(EComm32Error(EComm32Error::ecOpenPort).Message());
    EXPECT_FALSE(open.isEmpty());
    EXPECT_EQ(LinesOf(EComm32Error(EComm32Error::ecOpenPort)), QStringList{open});
    EXPECT_EQ(LinesOf(Exception(TOrvekFuncs::TOrvekString("broken"))), QStringList{"broken"});
    EXPECT_EQ(LinesOf(std::runtime_error("other")), QStringList{"other"});

    const QStringList busy = LinesOf(EComm32Error(EComm32Error::ecOpenPort, EBUSY, "/dev/ttyS0: busy"));
    EXPECT_EQ(busy, (QStringList{open, "/dev/ttyS0: busy"}));
    for (int permission : {EACCES, EPERM}) {
        const QStringList lines = LinesOf(EComm32Error(EComm32Error::ecOpenPort, permission, "/dev/ttyS0: denied"));
        ASSERT_EQ(lines.size(), 3) << permission;
        EXPECT_EQ(lines[1], "/dev/ttyS0: denied");
        EXPECT_TRUE(lines[2].contains("dialout")) << lines[2].toStdString();
    }
}

} // namespace
