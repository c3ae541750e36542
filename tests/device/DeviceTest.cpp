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

TEST(DeviceProperties, InitialValues)
{
    TLxCommDevice device;
    EXPECT_EQ(device.fGetPortNo(), 2);
    EXPECT_EQ(device.fGetBaud(), br115200);
    EXPECT_EQ(device.fGetParity(), ptNoParity);
    EXPECT_EQ(device.fGetByteSize(), 8);
    EXPECT_EQ(device.fGetStopBits(), sbOneStopBit);
    EXPECT_EQ(device.fGetFlowControl(), fcNone);
    EXPECT_TRUE(device.fGetSyncEvents());
    EXPECT_EQ(device.fGetInBufSize(), 8192);
    EXPECT_EQ(device.fGetOutBufSize(), 8192);
    EXPECT_EQ(device.fGetHwInSize(), 1200);
    EXPECT_EQ(device.fGetQueueSize(), 16);
    EXPECT_EQ(device.fGetPackageSize(), 4096);
    EXPECT_EQ(device.fGetPackageType(), cptCompatiblePkg);
    EXPECT_EQ(device.fGetPackageInterval(), 50);
    EXPECT_FALSE(device.fGetUsePackage());
    EXPECT_FALSE(device.fGetActive());
    EXPECT_EQ(device.fGetFrameSettings()->fGetFrameHead(), 0xEB);
    EXPECT_TRUE(device.fGetFrameSettings()->fGetDoubleFrameMark());
    EXPECT_EQ(device.ClassName(), "TLxCommDevice");
}

TEST(DeviceProperties, EnumerationsMapBothWays)
{
    TLxCommDevice device;
    device.fSetBaud(br14400);
    EXPECT_EQ(device.fGetBaud(), br14400);
    device.fSetBaud(static_cast<TBaudRate>(99));
    EXPECT_EQ(device.fGetBaud(), br115200);

    const struct {
        TFlowControl set, read;
    } flows[] = {{fcNone, fcNone}, {fcRtsCts, fcRtsCts}, {fcXonXoff, fcXonXoff},
                 {fcTranXonXoff, fcXonXoff}, {fcRtsCtsXonXoff, fcRtsCtsXonXoff}};
    for (const auto& flow : flows) {
        device.fSetFlowControl(flow.set);
        EXPECT_EQ(device.fGetFlowControl(), flow.read) << flow.set;
    }
    device.fSetParity(ptSpaceParity);
    EXPECT_EQ(device.fGetParity(), ptSpaceParity);
    device.fSetParity(static_cast<TParity>(7));
    EXPECT_EQ(device.fGetParity(), ptNoParity);
    device.fSetStopBits(sbTwoStopBit);
    EXPECT_EQ(device.fGetStopBits(), sbTwoStopBit);
    device.fSetStopBits(static_cast<TStopBits>(-1));
    EXPECT_EQ(device.fGetStopBits(), sbOneStopBit);
}

TEST(DeviceProperties, ClampedValues)
{
    TLxCommDevice device;
    device.fSetByteSize(300);
    EXPECT_EQ(device.fGetByteSize(), 255);
    device.fSetByteSize(-1);
    EXPECT_EQ(device.fGetByteSize(), 0);
    device.fSetAutoAnswer(256);
    EXPECT_EQ(device.fGetAutoAnswer(), 255);
    device.fSetAutoAnswer(-5);
    EXPECT_EQ(device.fGetAutoAnswer(), 0);
}

TEST(DeviceProperties, FrameSettingsAssignmentCopiesTheThreeBytesOnly)
{
    TLxCommDevice from, to;
    from.fGetFrameSettings()->fSetFrameHead(0x01);
    from.fGetFrameSettings()->fSetFrameTail(0x02);
    from.fGetFrameSettings()->fSetFrameCtrl(0x03);
    from.fGetFrameSettings()->fSetDoubleFrameMark(false);
    to.fSetFrameSettings(from.fGetFrameSettings());
    EXPECT_EQ(to.fGetFrameSettings()->fGetFrameHead(), 0x01);
    EXPECT_EQ(to.fGetFrameSettings()->fGetFrameTail(), 0x02);
    EXPECT_EQ(to.fGetFrameSettings()->fGetFrameCtrl(), 0x03);
    EXPECT_TRUE(to.fGetFrameSettings()->fGetDoubleFrameMark());
}

TEST(DeviceProperties, PublishedUnderTheirNames)
{
    TLxCommDevice device;
    EXPECT_TRUE(device.setProperty("Baud", QVariant::fromValue(br9600)));
    EXPECT_EQ(device.fGetBaud(), br9600);
    EXPECT_TRUE(device.setProperty("PortNo", 7));
    EXPECT_EQ(device.property("PortNo").toInt(), 7);
    EXPECT_EQ(device.property("PackageType").value<TLxCommDevice::TPackageType>(), TLxCommDevice::ptCompatiblePkg);
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

TEST_F(DeviceOnPty, WithoutSyncEventsTimeoutPackagesAreReportedOnTheLayerThread)
{
    Device.fSetSyncEvents(false);
    Device.fSetUsePackage(true);
    Device.fSetPackageType(cptFrameTimeout);
    Device.fSetPackageInterval(20);
    std::mutex lock;
    std::condition_variable changed;
    bool reported = false;
    bool onCreatingThread = false;
    Device.OnPackage = [&](TObject*, int type) {
        if (!(type & EV_RXCHAR))
            return;
        std::lock_guard guard(lock);
        onCreatingThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        reported = true;
        changed.notify_all();
    };
    Device.fSetActive(true);
    Pty.Write(std::string("package"));
    {
        // Nothing is pumped here: the report cannot come through the event loop.
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return reported; }));
        EXPECT_FALSE(onCreatingThread);
    }
    unsigned char buffer[16];
    EXPECT_EQ(Device.ReadPackage(buffer, sizeof buffer), 7u);
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
};

// Holds the layer thread inside its package handler until the destructor
// has stopped the notifications, or for a second when it waits as it should.
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
        Watch.Entered = true;
        Watch.Changed.notify_all();
        Watch.Changed.wait_for(guard, std::chrono::seconds(1), [this] { return Watch.Stopped; });
        Watch.RanAfterStop = Watch.RanAfterStop || Watch.Stopped;
    }

private:
    StopWatch& Watch;
};

TEST_F(DeviceOnPty, StoppingNotificationsWaitsForAHandlerOnTheLayerThread)
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
        std::unique_lock guard(watch.Lock);
        ASSERT_TRUE(watch.Changed.wait_for(guard, std::chrono::seconds(5), [&] { return watch.Entered; }));
    }
    probe.reset();
    EXPECT_FALSE(watch.RanAfterStop);
}

} // namespace
