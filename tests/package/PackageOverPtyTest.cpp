// The layer sending through a real engine over a pty: the engine's own
// threads and transmit-empty reports drive the hand-over. Reception through
// a real engine is what the soak runs do at length.
#include "Tcommpkg.h"

#include <gtest/gtest.h>

#include "FakeEngine.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using namespace packagetest;

// A package more than the engine's 8191-byte transmit queue takes at once
// goes out bare in the time-out type and framed in the head-tail type. The
// bytes repeat nowhere at a multiple of the engine's 256-byte chunks, so
// that a chunk sent twice or lost shows.
TEST(PackageOverPty, PackagesAreHandedOverAsTheEngineTakesThem)
{
    Bytes data(8192);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    for (const TCommPackageType type : {cptFrameTimeout, cptFrameHeadTail}) {
        testsupport::PortDirectory ports;
        testsupport::PtyPort pty {13};
        TComm32 engine; // closed by its destructor, after the layer has gone
        engine.UsePortNo(13);
        TCommPackage layer(&engine);
        layer.fSetPkgSz(8192);
        layer.fSetPkgType(type);
        engine.Open();
        layer.fSetActive(true);
        ASSERT_EQ(layer.WritePackage(data.data(), 8192), 8192u);
        const Bytes expected = type == cptFrameTimeout ? data : Framed(data);
        EXPECT_EQ(pty.ReadExactly(expected.size()), expected) << "type " << type;
    }
}
