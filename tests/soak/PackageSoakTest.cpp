// Many packages through the comm device component over a pty, its reports
// arriving through the event loop as in the tool, with the reader keeping
// up: every package arrives once, whole, in order and unchanged.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <string>

#include "../package/FakeEngine.h"
#include "Lxcommdevice.h"
#include "ProcessResources.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace testsupport;

namespace {

// Package n: its number in four bytes, then a length and bytes that vary
// with n and include the frame marks, so that escaping is exercised.
Bytes PackageNumber(std::uint32_t n)
{
    Bytes bytes(4 + (n * 37) % 60, 0);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(n >> (8 * i));
    static const std::uint8_t marks[] = {0xEB, 0xEE, 0xEC};
    for (std::size_t i = 4; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((i + n) % 7 == 0 ? marks[(i + n) % 3] : (i * 31 + n) & 0xFF);
    return bytes;
}

class PackageSoak : public ::testing::Test {
protected:
    PortDirectory Ports;
    PtyPort Pty{11};
    TLxCommDevice Device;
    std::size_t Reports = 0;  // package reports, which come through the event loop
    QEventLoop* Loop = nullptr;

    // Sends the packages in batches, framed or bare, and takes each batch
    // before the next goes.
    void Run(TCommPackageType type, long interval, std::uint32_t batch)
    {
        Device.fSetPortNo(11);
        Device.fSetPackageType(type);
        Device.fSetPackageInterval(interval);
        Device.fSetUsePackage(true);
        Device.OnPackage = [this](TObject*, int notifyType) {
            if (!(notifyType & EV_RXCHAR))
                return;  // line events pass through the layer too
            ++Reports;
            if (Loop)
                Loop->quit();
        };
        Device.fSetActive(true);
        const std::uint32_t total = static_cast<std::uint32_t>(soak::Scaled(100000));
        std::uint32_t expected = 0;
        for (std::uint32_t first = 0; first < total; first += batch) {
            const std::uint32_t last = std::min(total, first + batch);
            Bytes line;
            for (std::uint32_t n = first; n < last; ++n) {
                const Bytes data = PackageNumber(n);
                const Bytes sent = type == cptFrameHeadTail ? packagetest::Framed(data) : data;
                line.insert(line.end(), sent.begin(), sent.end());
            }
            Pty.Write(line);
            while (expected < last) {
                const std::size_t seen = Reports;
                Bytes buffer(4096);
                while (const unsigned long length = Device.ReadPackage(buffer.data(), 4096)) {
                    ASSERT_EQ(Bytes(buffer.begin(), buffer.begin() + length), PackageNumber(expected))
                        << "package " << expected;
                    ++expected;
                }
                if (expected < last) {
                    if (Reports == seen) {  // runs the event loop until the next report, at most 5 s
                        QEventLoop loop;
                        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
                        Loop = &loop;
                        loop.exec();
                        Loop = nullptr;
                    }
                    // A bare package is reported on its own; framed ones may share a report.
                    const bool framed = type == cptFrameHeadTail;
                    ASSERT_TRUE(Reports > seen || (framed && Device.ReadPackage(nullptr, 0) > 0))
                        << "stuck at package " << expected;
                }
            }
        }
        EXPECT_EQ(expected, total);
    }
};

// The package type needs the silence that ends a package: the next one
// goes only once this one was taken.
TEST_F(PackageSoak, TimeoutPackagesOneAfterAnother)
{
    Run(cptFrameTimeout, 1, 1);
}

TEST_F(PackageSoak, HeadTailPackagesBackToBack)
{
    Run(cptFrameHeadTail, 50, 8);  // the layer's queue holds 15
}

} // namespace
