// The comm device component: its property mappings, its routing by
// UsePackage, and where its notifications run.
#include <gtest/gtest.h>

// The kernel's terminal structures, to read back the applied bit rate;
// they clash with <termios.h>, which this file does not include.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Lxcommdevice.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using testsupport::PortDirectory;
using testsupport::PtyPort;

namespace {

std::uint32_t AppliedBitRate(const PtyPort& pty)
{
    termios2 settings{};
    ioctl(pty.SlaveFd(), TCGETS2, &settings);
    return settings.c_ospeed;
}

// Each setter's value as read back, including values outside the
// enumerations and the ranges.
TEST(DeviceProperties, SettersMapAndClampTheirValues)
{
    TLxCommDevice device;
    EXPECT_EQ(device.fGetBaud(), br115200);  // the engine's initial rate
    struct Case { std::function<void()> set; std::function<int()> read; int expected; };
    const Case cases[] = {
        {[&] { device.fSetBaud(br14400); }, [&] { return int(device.fGetBaud()); }, br14400},
        {[&] { device.fSetBaud(static_cast<TBaudRate>(99)); }, [&] { return int(device.fGetBaud()); }, br115200},
        {[&] { device.fSetFlowControl(fcRtsCts); }, [&] { return int(device.fGetFlowControl()); }, fcRtsCts},
        {[&] { device.fSetFlowControl(fcTranXonXoff); }, [&] { return int(device.fGetFlowControl()); }, fcXonXoff},
        {[&] { device.fSetFlowControl(fcRtsCtsXonXoff); }, [&] { return int(device.fGetFlowControl()); },
         fcRtsCtsXonXoff},
        {[&] { device.fSetParity(ptSpaceParity); }, [&] { return int(device.fGetParity()); }, ptSpaceParity},
        {[&] { device.fSetParity(static_cast<TParity>(7)); }, [&] { return int(device.fGetParity()); }, ptNoParity},
        {[&] { device.fSetStopBits(static_cast<TStopBits>(-1)); }, [&] { return int(device.fGetStopBits()); },
         sbOneStopBit},
        {[&] { device.fSetByteSize(300); }, [&] { return device.fGetByteSize(); }, 255},
        {[&] { device.fSetByteSize(-1); }, [&] { return device.fGetByteSize(); }, 0},
        {[&] { device.fSetAutoAnswer(256); }, [&] { return device.fGetAutoAnswer(); }, 255},
        {[&] { device.setProperty("Baud", QVariant::fromValue(br9600)); }, [&] { return int(device.fGetBaud()); },
         br9600},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        cases[i].set();
        EXPECT_EQ(cases[i].read(), cases[i].expected) << "case " << i;
    }

    // Assigning frame settings copies the three bytes but not the double mark.
    TLxCommDevice to;
    device.fGetFrameSettings()->fSetFrameHead(0x01);
    device.fGetFrameSettings()->fSetFrameCtrl(0x03);
    device.fGetFrameSettings()->fSetDoubleFrameMark(false);
    to.fSetFrameSettings(device.fGetFrameSettings());
    EXPECT_EQ(to.fGetFrameSettings()->fGetFrameHead(), 0x01);
    EXPECT_EQ(to.fGetFrameSettings()->fGetFrameCtrl(), 0x03);
    EXPECT_TRUE(to.fGetFrameSettings()->fGetDoubleFrameMark());
}

class DeviceOnPty : public ::testing::Test {
protected:
    PortDirectory Ports;
    PtyPort Pty{12};
    TLxCommDevice Device;
    void SetUp() override { Device.fSetPortNo(12); }
};

TEST_F(DeviceOnPty, ClosingSetterClosesAndTheNextOpenUsesTheValue)
{
    int beforeClose = 0;
    Device.BeforeClose = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(&Device));
        ++beforeClose;
    };
    Device.fSetActive(true);
    ASSERT_TRUE(Device.fGetActive());
    EXPECT_EQ(AppliedBitRate(Pty), 115200u);
    Device.fSetBaud(br38400);
    EXPECT_FALSE(Device.fGetActive());
    EXPECT_EQ(beforeClose, 1);
    Device.fSetActive(true);
    EXPECT_EQ(AppliedBitRate(Pty), 38400u);
}

TEST_F(DeviceOnPty, BytesWithoutPackagesAndPackagesWithThem)
{
    Device.fSetPackageType(cptFrameHeadTail);
    Device.fSetActive(true);
    unsigned char buffer[64];
    EXPECT_EQ(Device.ReadPackage(buffer, sizeof buffer), 0u);  // the layer is off

    Device.fSetUsePackage(true);  // on an open port: packages from now on
    EXPECT_TRUE(Device.fGetActive());
    const char data[] = {0x41, static_cast<char>(0xEB), 0x42};
    EXPECT_EQ(Device.Write(data, 3), 3);
    // Framed with the double mark and the control byte before the head byte.
    EXPECT_EQ(testsupport::Hex(Pty.ReadExactly(8)), "EB EB 41 EC EB 42 EE EE");
    Pty.Write(testsupport::Bytes{0xEB, 0x10, 0x20, 0xEE});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Device.ReadPackage(nullptr, 0) != 0; }, 5000));
    EXPECT_EQ(Device.Read(buffer, sizeof buffer), 2);
    EXPECT_EQ(buffer[0], 0x10);

    Device.fSetUsePackage(false);
    EXPECT_TRUE(Device.fGetActive());
    EXPECT_EQ(Device.Write("raw", 3), 3);
    EXPECT_EQ(testsupport::Hex(Pty.ReadExactly(3)), "72 61 77");
}

TEST_F(DeviceOnPty, SyncEventsRunOnTheCreatingThreadInOrder)
{
    std::vector<int> types;
    std::atomic<bool> offThread{false};
    TObject* sender = nullptr;
    Device.OnCommNotify = [&](TObject* from, int type) {
        sender = from;
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        types.push_back(type);
    };
    Device.fSetActive(true);
    Pty.Write(std::string("abc"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return types.size() >= 2; }, 5000));
    EXPECT_EQ(sender, static_cast<TObject*>(&Device));
    EXPECT_FALSE(offThread);
    EXPECT_EQ(types.front(), EV_CTS | EV_DSR | EV_RLSD);  // posted by the open, handled first
    EXPECT_TRUE(types[1] & EV_RXCHAR);
}

TEST_F(DeviceOnPty, DestroyedWhileOpenWithNotificationsInFlight)
{
    auto device = std::make_unique<TLxCommDevice>();
    device->fSetPortNo(12);
    int seen = 0;
    device->OnCommNotify = [&](TObject*, int) { ++seen; };
    Device.fSetActive(false);
    device->fSetActive(true);
    Pty.Write(std::string(4000, 'x'));
    device.reset();  // posted notifications die with the component
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, 0);
}

// Whether a package handler was still running after the component had
// stopped its notifications.
struct StopWatch {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Entered = false;
    bool Stopped = false;
    bool RanAfterStop = false;
    bool OnCreatingThread = false;
};

// Without SyncEvents a time-out package is reported on the layer thread.
// The probe holds that thread inside its handler until the destructor has
// stopped the notifications, or for a second when it waits as it should.
class StopProbe : public TLxCommDevice {
public:
    explicit StopProbe(StopWatch& Watch) : Watch(Watch) {}
    ~StopProbe() override
    {
        _StopNotifications();
        std::lock_guard guard(Watch.Lock);
        Watch.Stopped = true;
        Watch.Changed.notify_all();
    }

    void EvPackageNotify(TObject*, int NotifyType) override
    {
        if (!(NotifyType & EV_RXCHAR))
            return;
        std::unique_lock guard(Watch.Lock);
        Watch.OnCreatingThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        Watch.Entered = true;
        Watch.Changed.notify_all();
        Watch.Changed.wait_for(guard, std::chrono::seconds(1), [this] { return Watch.Stopped; });
        Watch.RanAfterStop = Watch.RanAfterStop || Watch.Stopped;
    }

private:
    StopWatch& Watch;
};

TEST_F(DeviceOnPty, WithoutSyncEventsPackagesReportOnTheLayerThreadUntilStopped)
{
    StopWatch watch;
    auto probe = std::make_unique<StopProbe>(watch);
    probe->fSetPortNo(12);
    probe->fSetSyncEvents(false);
    probe->fSetUsePackage(true);
    probe->fSetPackageType(cptFrameTimeout);
    probe->fSetPackageInterval(10);
    probe->fSetActive(true);
    Pty.Write(std::string("package"));
    {
        // Nothing is pumped here: the report cannot come through the event loop.
        std::unique_lock guard(watch.Lock);
        ASSERT_TRUE(watch.Changed.wait_for(guard, std::chrono::seconds(5), [&] { return watch.Entered; }));
        EXPECT_FALSE(watch.OnCreatingThread);
    }
    probe.reset();
    EXPECT_FALSE(watch.RanAfterStop);
}

} // namespace
