// The layer on a real engine over a pty: the engine's own threads and
// notifications drive reception and sending.
#include "Tcommpkg.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "FakeEngine.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace packagetest;

namespace {

struct PtyRig {
    explicit PtyRig(TCommPackageType type)
    {
        Engine.PortNo = Pty.ComNumber();
        std::snprintf(Engine.DeviceName, sizeof Engine.DeviceName, TComm32::Fmt_COMn, Engine.PortNo);
        Layer = std::make_unique<TCommPackage>(&Engine);
        Layer->OnPackage = Events.Handler();
        Layer->fSetPkgInterval(50);
        Layer->fSetPkgType(type);
        Engine.Open();
        Layer->fSetActive(true);
    }

    ~PtyRig()
    {
        Layer->fSetActive(false);
        Engine.Close();
    }

    // Takes packages as their events come, until `count` arrived or a
    // generous time passed.
    std::vector<Bytes> TakeAtLeast(std::size_t count)
    {
        std::vector<Bytes> got;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            const std::size_t seen = Events.Size();
            Bytes buffer(Layer->PackageSize());
            while (Layer->ReadPackage(nullptr, 0) > 0) {
                const unsigned long length = Layer->ReadPackage(buffer.data(), Layer->PackageSize());
                got.emplace_back(buffer.begin(), buffer.begin() + length);
            }
            if (got.size() < count)
                Events.WaitForSize(seen + 1, 100ms);
        }
        return got;
    }

    testsupport::PortDirectory Ports;
    testsupport::PtyPort Pty {13};
    TComm32 Engine;
    NotifyLog Events;
    std::unique_ptr<TCommPackage> Layer;
};

} // namespace

TEST(PackageOverPty, TimeoutPackagesBothWaysBare)
{
    PtyRig rig(cptFrameTimeout);
    ASSERT_TRUE(rig.Engine.Active);
    const Bytes request {0x7E, 0xEB, 0x00, 0xEE};
    rig.Pty.Write(request);
    EXPECT_EQ(rig.TakeAtLeast(1), std::vector<Bytes> {request});
    EXPECT_EQ(rig.Layer->WritePackage(request.data(), 4), 4u);
    EXPECT_EQ(rig.Pty.ReadExactly(4), request);
}

TEST(PackageOverPty, FramedPackagesBothWays)
{
    PtyRig rig(cptFrameHeadTail);
    ASSERT_TRUE(rig.Engine.Active);

    // A large package goes out framed, handed over as the engine takes it.
    Bytes data(4096);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(rig.Layer->WritePackage(data.data(), 4096), 4096u);
    const Bytes framed = Framed(data);
    EXPECT_EQ(rig.Pty.ReadExactly(framed.size()), framed);

    // Two packages come in, split across writes and with noise between.
    rig.Pty.Write(Bytes {0x55, 0xEB, 0xEB, 0x01, 0xEC});
    rig.Pty.Write(Bytes {0xEE, 0x02, 0xEE, 0xEE, 0x66, 0xEB, 0x03, 0xEE});
    EXPECT_EQ(rig.TakeAtLeast(2), (std::vector<Bytes> {{0x01, 0xEE, 0x02}, {0x03}}));
}
