// The comm device component: its property mappings, its routing by
// UsePackage, and where its notifications run.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "Lxcommdevice.h"
#include "PtyPort.h"

using namespace OrvekComm32;
using testsupport::PtyPort;

namespace {

// Values outside the enumerations and the ranges, and the one flow
// control that maps to another, through the property system as a form
// loader sets them.
TEST(DeviceProperties, SettersMapAndClampTheirValues)
{
    TLxCommDevice device;
    struct Case { const char* property; int value; int expected; };
    const Case cases[] = {
        {"Baud", br14400, br14400},
        {"Baud", 99, br115200},
        {"FlowControl", fcTranXonXoff, fcXonXoff},
        {"Parity", 7, ptNoParity},
        {"StopBits", -1, sbOneStopBit},
        {"ByteSize", 300, 255},
        {"ByteSize", -1, 0},
        {"AutoAnswer", 256, 255},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(device.setProperty(c.property, c.value)) << c.property;
        EXPECT_EQ(device.property(c.property).toInt(), c.expected) << c.property << ' ' << c.value;
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
    testsupport::PortDirectory Ports;
    PtyPort Pty{12};
    TLxCommDevice Device;
    void SetUp() override { Device.fSetPortNo(12); }
};

// A closing setter closes the port and the next open uses its value; the
// package layer comes and goes on the open port.
TEST_F(DeviceOnPty, ClosingSetterAndUsePackageOnAnOpenPort)
{
    int beforeClose = 0;
    Device.BeforeClose = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(&Device));
        ++beforeClose;
    };
    Device.fSetPackageType(cptFrameHeadTail);
    Device.fSetActive(true);
    EXPECT_EQ(Pty.Baud(), 115200);  // a closed pty would keep its own 38400
    Device.fSetBaud(br38400);
    EXPECT_FALSE(Device.fGetActive());
    EXPECT_EQ(beforeClose, 1);
    Device.fSetActive(true);
    EXPECT_EQ(Pty.Baud(), 38400);

    unsigned char buffer[64];
    EXPECT_EQ(Device.ReadPackage(buffer, sizeof buffer), 0u);  // the layer is off

    Device.fSetUsePackage(true);  // on an open port: packages from now on
    const char data[] = {0x41, static_cast<char>(0xEB), 0x42};
    EXPECT_EQ(Device.Write(data, 3), 3);
    // Framed with the double mark and the control byte before the head byte.
    EXPECT_EQ(FrameText(Pty.ReadExactly(8)), "EB EB 41 EC EB 42 EE EE");
    Pty.Write(testsupport::Bytes{0xEB, 0x10, 0x20, 0xEE});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Device.ReadPackage(nullptr, 0) != 0; }, 5000));
    EXPECT_EQ(Device.Read(buffer, sizeof buffer), 2);
    EXPECT_EQ(buffer[0], 0x10);

    Device.fSetUsePackage(false);
    EXPECT_EQ(Device.Write("raw", 3), 3);
    EXPECT_EQ(FrameText(Pty.ReadExactly(3)), "72 61 77");
}

// Notifications posted to the creating thread die with the component.
TEST_F(DeviceOnPty, SyncEventsRunOnTheCreatingThreadInOrderWhileTheComponentLives)
{
    auto device = std::make_unique<TLxCommDevice>();
    device->fSetPortNo(12);
    std::vector<int> types;
    std::atomic<bool> offThread{false};
    TObject* sender = nullptr;
    device->OnCommNotify = [&](TObject* from, int type) {
        sender = from;
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        types.push_back(type);
    };
    device->fSetActive(true);
    Pty.Write(std::string("abc"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return types.size() >= 2; }, 5000));
    EXPECT_EQ(sender, static_cast<TObject*>(device.get()));
    EXPECT_FALSE(offThread);
    EXPECT_EQ(types.front(), EV_CTS | EV_DSR | EV_RLSD);  // posted by the open, handled first
    EXPECT_TRUE(types[1] & EV_RXCHAR);

    device->fSetActive(false);
    device->fSetActive(true);  // posts the line states again
    Pty.Write(std::string(4000, 'x'));
    const std::size_t seen = types.size();
    device.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(types.size(), seen);
}

// Without SyncEvents a time-out package is reported on the layer thread.
// The probe holds that thread inside its handler until the destructor has
// stopped the notifications, or for a second when it waits as it should.
struct StopWatch {
    std::promise<bool> Entered;  // whether on the creating thread
    std::promise<void> Stopped;
    std::shared_future<void> StoppedSeen = Stopped.get_future().share();
    std::promise<bool> Left;     // whether the stop came while the handler ran
    std::atomic<bool> Reported{false};
};

// Not a member of the probe: were the stop not to wait, the handler would
// run on after the probe is gone.
StopWatch* Watch = nullptr;

class StopProbe : public TLxCommDevice {
public:
    ~StopProbe() override
    {
        _StopNotifications();
        Watch->Stopped.set_value();
    }

    void EvPackageNotify(TObject*, int NotifyType) override
    {
        if (!(NotifyType & EV_RXCHAR) || Watch->Reported.exchange(true))
            return;
        Watch->Entered.set_value(QThread::currentThread() == QCoreApplication::instance()->thread());
        Watch->Left.set_value(Watch->StoppedSeen.wait_for(std::chrono::seconds(1)) == std::future_status::ready);
    }
};

TEST_F(DeviceOnPty, WithoutSyncEventsPackagesReportOnTheLayerThreadUntilStopped)
{
    StopWatch watch;
    Watch = &watch;
    std::future<bool> entered = watch.Entered.get_future();
    std::future<bool> left = watch.Left.get_future();
    auto probe = std::make_unique<StopProbe>();
    probe->fSetPortNo(12);
    probe->fSetSyncEvents(false);
    probe->fSetUsePackage(true);
    probe->fSetPackageType(cptFrameTimeout);
    probe->fSetPackageInterval(10);
    probe->fSetActive(true);
    Pty.Write(std::string("package"));
    // Nothing is pumped here: the report cannot come through the event loop.
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(entered.get());
    probe.reset();
    ASSERT_EQ(left.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(left.get());
}

} // namespace
