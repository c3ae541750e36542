// Many packages through the comm device component over a pty, its reports
// arriving through the event loop as in the tool, with the reader keeping
// up: every package arrives once, whole, in order and unchanged.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <string>
#include <vector>

#include "Lxcommdevice.h"
#include "PackageCodec.h"
#include "ProcessResources.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace testsupport;

namespace {

// Package n: its number in four bytes, then a length and bytes that vary
// with n and include the frame marks, so that escaping is exercised.
std::string PackageNumber(std::uint32_t n)
{
    std::string bytes(4 + (n * 37) % 60, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(n >> (8 * i));
    static const unsigned char marks[] = {0xEB, 0xEE, 0xEC};
    for (std::size_t i = 4; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i + n) % 7 == 0 ? marks[(i + n) % 3] : (i * 31 + n) & 0xFF);
    return bytes;
}

// Counts the component's package reports, which come through the event
// loop, so that the reader can wait for them.
class PackageEvents {
public:
    void Attach(TLxCommDevice& device)
    {
        device.OnPackage = [this](TObject*, int type) {
            if (!(type & EV_RXCHAR))
                return;  // line events pass through the layer too
            ++Count;
            if (Loop)
                Loop->quit();
        };
    }
    // Runs the event loop until the count passed `seen`, at most 5 s.
    bool WaitBeyond(std::size_t seen)
    {
        if (Count > seen)
            return true;
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        Loop = &loop;  // the next report ends it
        loop.exec();
        Loop = nullptr;
        return Count > seen;
    }
    std::size_t Seen() const { return Count; }

private:
    std::size_t Count = 0;
    QEventLoop* Loop = nullptr;
};

class PackageSoak : public ::testing::Test {
protected:
    PortDirectory Ports;
    PtyPort Pty{11};
    PackageEvents Events;
    TLxCommDevice Device;

    void Open(TCommPackageType type, long interval)
    {
        Device.fSetPortNo(11);
        Device.fSetPackageType(type);
        Device.fSetPackageInterval(interval);
        Device.fSetUsePackage(true);
        Events.Attach(Device);
        Device.fSetActive(true);
    }

    // Takes every package the layer holds; checks each against the next
    // expected number.
    void TakePackages(std::uint32_t& expected)
    {
        unsigned char buffer[4096];
        for (;;) {
            const unsigned long length = Device.ReadPackage(buffer, sizeof buffer);
            if (length == 0)
                return;
            const std::string got(reinterpret_cast<char*>(buffer), length);
            ASSERT_EQ(got, PackageNumber(expected)) << "package " << expected;
            ++expected;
        }
    }
};

TEST_F(PackageSoak, TimeoutPackagesOneAfterAnother)
{
    Open(cptFrameTimeout, 1);
    const std::uint32_t total = static_cast<std::uint32_t>(soak::Scaled(100000));
    std::uint32_t expected = 0;
    for (std::uint32_t n = 0; n < total; ++n) {
        const std::size_t seen = Events.Seen();
        Pty.Write(PackageNumber(n));
        // The package type needs the silence that ends a package: the next
        // one goes only once this one was reported.
        ASSERT_TRUE(Events.WaitBeyond(seen)) << "package " << n << " never reported";
        TakePackages(expected);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(expected, n + 1) << "packages merged or lost at " << n;
    }
}

TEST_F(PackageSoak, HeadTailPackagesBackToBack)
{
    Open(cptFrameHeadTail, 50);
    const std::uint32_t total = static_cast<std::uint32_t>(soak::Scaled(100000));
    constexpr std::uint32_t Batch = 8;  // the layer's queue holds 15
    const TFrameMarks marks;
    std::uint32_t expected = 0;
    std::vector<unsigned char> line;
    for (std::uint32_t first = 0; first < total; first += Batch) {
        line.clear();
        const std::uint32_t last = std::min(total, first + Batch);
        for (std::uint32_t n = first; n < last; ++n) {
            const std::string data = PackageNumber(n);
            const std::size_t at = line.size();
            line.resize(at + EncodedSizeLimit(static_cast<std::uint32_t>(data.size())));
            const auto written = EncodePackage(reinterpret_cast<const unsigned char*>(data.data()),
                                               static_cast<std::uint32_t>(data.size()), marks, true, line.data() + at);
            line.resize(at + written);
        }
        Pty.Write(Bytes(line.begin(), line.end()));
        while (expected < last) {
            const std::size_t seen = Events.Seen();
            TakePackages(expected);
            ASSERT_FALSE(HasFatalFailure());
            if (expected < last) {
                ASSERT_TRUE(Events.WaitBeyond(seen) || Device.ReadPackage(nullptr, 0) > 0)
                    << "stuck at package " << expected;
            }
        }
    }
    EXPECT_EQ(expected, total);
}

} // namespace
