// The serial library on real kernel drivers. Runs only inside the guest
// that scripts/rig.sh boots (make test-drivers): there COM2 and COM3
// (ttyS1, ttyS2) are 16550A UARTs on a null-modem cable, and COM4 (ttyS3)
// is a UART joined to the FTDI adapter COM33 (ttyUSB0).
//
// What the emulation cannot show: bytes are not paced at the baud rate and
// the UARTs' modem lines stay fixed (CTS, DSR, CD on), so no case here
// measures line timing, and flow control is tried with XON/XOFF only: RTS/CTS
// would need modem lines that move. The adapter can be pulled out and
// plugged back through QEMU's monitor (scripts/rig-monitor.py).
#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <random>
#include <thread>

#include "ChildProcess.h"
#include "EngineLine.h"
#include "Lxcommdevice.h"
#include "ModalAnswers.h"
#include "PortComboBox.h"
#include "ProcessResources.h"
#include "PtyPort.h"
#include "TComm32.h"
#include "TCommSerialPortInfo.h"
#include "WindowOnPty.h"

using namespace OrvekComm32;
using namespace std::chrono_literals;
using testsupport::ReadFromEngine;
using testsupport::Send;

namespace {


struct TCable {
    int Com;        // the engine under test
    const char* Device;
    int PeerCom;    // the other end of the cable
};
constexpr TCable Uarts{2, "/dev/ttyS1", 3};
constexpr TCable UsbAdapter{33, "/dev/ttyUSB0", 4};

// The driver's own view of a device's line settings.
termios2 DriverSettings(const char* device)
{
    termios2 settings{};
    const int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << device;
    EXPECT_EQ(ioctl(fd, TCGETS2, &settings), 0) << device;
    close(fd);
    return settings;
}

std::string RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 rng{seed};
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(rng());
    return bytes;
}

void Configure(TComm32& engine, int com, std::uint32_t rate = 115200)
{
    engine.UsePortNo(com);
    engine.DCB.BaudRate = rate;
}

// Opens `a` on the cable's end under test and `b` on the other, both at `rate`.
void OpenBoth(TComm32& a, TComm32& b, const TCable& cable, std::uint32_t rate = 115200)
{
    Configure(a, cable.Com, rate);
    Configure(b, cable.PeerCom, rate);
    a.Open();
    b.Open();
}

// Bytes both ways at once through an open pair, every byte compared.
void ExpectBytesBothWays(TComm32& a, TComm32& b, std::size_t count)
{
    const std::string there = RandomBytes(count, 1), back = RandomBytes(count, 2);
    Send(a, there);
    Send(b, back);
    EXPECT_TRUE(ReadFromEngine(b, count, 20s) == there) << "bytes lost or changed on the way out";
    EXPECT_TRUE(ReadFromEngine(a, count, 20s) == back) << "bytes lost or changed on the way back";
}

long VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// --- the engine ------------------------------------------------------------

class Rates : public ::testing::TestWithParam<std::tuple<TCable, std::uint32_t>> {};

// 28800 has no constant of its own in the terminal interface: it goes to
// the driver as a bare number.
INSTANTIATE_TEST_SUITE_P(Drivers, Rates,
                         ::testing::Combine(::testing::Values(Uarts, UsbAdapter),
                                            ::testing::Values(9600u, 28800u, 115200u)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).Com == 2 ? "Uart" : "Usb") +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST_P(Rates, EveryByteArrivesBothWaysAtTheRateTheDriverReports)
{
    const auto [cable, rate] = GetParam();
    TComm32 a, b;
    OpenBoth(a, b, cable, rate);
    EXPECT_EQ(DriverSettings(cable.Device).c_ospeed, rate);
    ExpectBytesBothWays(a, b, 8000);  // within one transmit queue
}

// The 16550's clock makes at most 115200 bit/s; the 8250 driver keeps the
// rate it had and says nothing. Opening must not pass that off as success.
TEST(Drivers, RateTheUartCannotMakeFailsToOpen)
{
    TComm32 engine;
    Configure(engine, Uarts.Com, 19200);
    engine.Open();
    engine.Close();
    engine.DCB.BaudRate = 250000;
    try {
        engine.Open();
        ADD_FAILURE() << "opened; the driver runs at " << DriverSettings(Uarts.Device).c_ospeed;
    } catch (const EComm32Error& error) {
        EXPECT_EQ(error.ErrorCode, EComm32Error::ecSetCommState);
    }
    EXPECT_FALSE(engine.Active);
}

TEST(Drivers, ByteSizeParityAndStopBitsReachTheDriver)
{
    struct TParity {
        std::uint8_t Code;
        tcflag_t Flags;
    };
    constexpr TParity parities[] = {{NOPARITY, 0},
                                    {ODDPARITY, PARENB | PARODD},
                                    {EVENPARITY, PARENB},
                                    {MARKPARITY, PARENB | PARODD | CMSPAR},
                                    {SPACEPARITY, PARENB | CMSPAR}};
    for (const TCable& cable : {Uarts, UsbAdapter})
        for (const std::uint8_t byteSize : {7, 8})
            for (const TParity& parity : parities)
                for (const std::uint8_t stopBits : {ONESTOPBIT, TWOSTOPBITS}) {
                    SCOPED_TRACE(std::string(cable.Device) + " bits " + std::to_string(byteSize) + " parity " +
                                 std::to_string(parity.Code) + " stop " + std::to_string(stopBits));
                    TComm32 engine;
                    Configure(engine, cable.Com);
                    engine.DCB.ByteSize = byteSize;
                    engine.DCB.Parity = parity.Code;
                    engine.DCB.StopBits = stopBits;
                    engine.Open();
                    const termios2 settings = DriverSettings(cable.Device);
                    EXPECT_EQ(settings.c_cflag & CSIZE, byteSize == 7 ? CS7 : CS8);
                    // The emulated adapter refuses mark and space parity;
                    // ftdi_sio logs that and still reports them here.
                    EXPECT_EQ(settings.c_cflag & (PARENB | PARODD | CMSPAR), parity.Flags);
                    EXPECT_EQ((settings.c_cflag & CSTOPB) != 0, stopBits == TWOSTOPBITS);
                }
}

// On a pty the output queue is always empty; here the driver reports the
// bytes it still holds, and only the drain of the last chunk counts.
TEST(Drivers, TransmitEmptyComesOnceAfterTheLastChunk)
{
    for (const TCable& cable : {Uarts, UsbAdapter}) {
        SCOPED_TRACE(cable.Device);
        std::atomic<int> transmitEmpty{0};  // outlives the engines, which notify as they close
        TComm32 a, b;
        a.OnCommNotify = [&](TObject*, int type) { transmitEmpty += (type & EV_TXEMPTY) ? 1 : 0; };
        OpenBoth(a, b, cable);
        const std::string bytes = RandomBytes(1000, 3);
        Send(a, bytes);
        EXPECT_TRUE(ReadFromEngine(b, bytes.size()) == bytes);
        EXPECT_TRUE(testsupport::WaitUntil([&] { return transmitEmpty > 0; }));
        std::this_thread::sleep_for(500ms);  // room for a second, wrong report
        EXPECT_EQ(transmitEmpty, 1);
    }
}

// XOFF from the other end holds the driver's output for good: the engine
// must neither poll the held queue at full speed nor wait for the driver's
// closing time-out (30 s) in Close.
TEST(Drivers, OutputHeldByXoffLeavesTheThreadsIdleAndCloseQuick)
{
    TComm32 a, b;
    a.fSetFCtrl(TComm32::fcXonXoff);
    OpenBoth(a, b, Uarts);
    // The driver takes the XOFF out of the input before it passes on the
    // byte behind it: once that byte is read, output is held.
    Send(b, "\x13m");
    ASSERT_EQ(ReadFromEngine(a, 1), "m");
    // A few bytes: their drain estimate is the shortest, which made a read
    // thread that re-polls it without backing off wake most often.
    Send(a, RandomBytes(16, 4));
    EXPECT_TRUE(ReadFromEngine(b, 16, 300ms).empty()) << "the XOFF did not hold the output";

    const long switchesBefore = VoluntarySwitches();
    const double cpuBefore = soak::ProcessCpuMilliseconds();
    std::this_thread::sleep_for(1s);
    const long wakeUps = VoluntarySwitches() - switchesBefore;
    const double cpu = soak::ProcessCpuMilliseconds() - cpuBefore;
    std::printf("held output: %ld wake-ups, %.1f ms of CPU in 1 s\n", wakeUps, cpu);
    // The timer thread wakes 5 times a second; a read thread that re-polls
    // every millisecond adds hundreds (about 700 in this guest).
    EXPECT_LT(wakeUps, 100);

    const auto start = std::chrono::steady_clock::now();
    a.Close();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("Close with held output: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, 2s);
}

// A hang-up leaves the engine's descriptor dead (the driver refuses it any
// further I/O); Close and Open must give a working port again, and bytes
// written meanwhile go out after the open, none lost.
TEST(Drivers, HungUpPortCanBeOpenedAgain)
{
    TComm32 a, b;
    OpenBoth(a, b, Uarts);
    const int fd = open(Uarts.Device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCVHANGUP), 0);
    close(fd);
    Send(a, "lost");
    EXPECT_TRUE(ReadFromEngine(b, 4, 500ms).empty()) << "bytes left through a hung-up descriptor";
    EXPECT_NO_THROW(a.Close());
    a.Open();
    Send(a, "after");
    EXPECT_EQ(ReadFromEngine(b, 9), "lostafter");
    ExpectBytesBothWays(a, b, 2000);
}

// XON/XOFF between the two UARTs: the owner of the receiving engine stops
// reading for a while, then reads at its own pace. With input flow control the full
// receive queue leaves the bytes in the driver, whose XOFF holds the sender
// back, and every byte arrives in order; without it the engine drops what
// its queue cannot hold.
TEST(Drivers, XonXoffHoldsTheSenderWhileTheOwnerReadsSlowly)
{
    std::string sent = RandomBytes(200000, 5);
    std::replace_if(sent.begin(), sent.end(), [](char c) { return c == 0x11 || c == 0x13; }, ' ');  // the marks
    for (const bool flowControl : {true, false}) {
        SCOPED_TRACE(flowControl ? "XON/XOFF" : "no flow control");
        TComm32 a, b;
        const auto flow = flowControl ? TComm32::fcXonXoff : TComm32::fcNone;
        a.fSetFCtrl(flow);
        b.fSetFCtrl(flow);
        b.OutQueue->fSetBufSize(1 << 18);  // the whole lot at once: the driver's flow control holds it
        OpenBoth(a, b, Uarts);
        Send(b, sent);
        std::string received;
        char chunk[256];
        // Meanwhile the line brings far more than the receive queue holds
        // (it runs at some 35 KB/s in this guest).
        ASSERT_FALSE(ReadFromEngine(a, 1).empty());
        std::this_thread::sleep_for(1500ms);
        using Clock = std::chrono::steady_clock;
        for (auto lastByte = Clock::now(); received.size() < sent.size() - 1 && Clock::now() - lastByte < 2s;) {
            std::this_thread::sleep_for(2ms);  // about 128 KB/s
            const long got = a.Read(chunk, sizeof chunk);
            received.append(chunk, static_cast<std::size_t>(got));
            if (got > 0)
                lastByte = Clock::now();
        }
        received.insert(0, 1, sent[0]);  // the byte that said the line runs
        std::printf("%s: %zu of %zu bytes arrived\n", flowControl ? "XON/XOFF" : "no flow control", received.size(),
                    sent.size());
        if (flowControl)
            EXPECT_TRUE(received == sent) << "in order so far: " << (sent.compare(0, received.size(), received) == 0);
        else
            EXPECT_LT(received.size(), sent.size()) << "nothing dropped: the owner read too fast to tell";
    }
}

// --- the port list ---------------------------------------------------------

TEST(Drivers, PortListNamesTheUartsAndTheAdapter)
{
    testsupport::PortDirectory noLinks;
    TCommSerialPortInfo info;
    std::vector<std::string> found;
    for (int i = 0; i < info.PortList->Count(); ++i)
        found.push_back(std::string(info.PortList->Strings(i).c_str()) + " " + info.DevicePath(i) + " " +
                        info.Description(i));
    EXPECT_EQ(found, (std::vector<std::string>{"COM1 /dev/ttyS0 ", "COM2 /dev/ttyS1 ", "COM3 /dev/ttyS2 ",
                                               "COM4 /dev/ttyS3 ", "COM33 /dev/ttyUSB0 QEMU USB SERIAL"}));
}

// --- a whole download ------------------------------------------------------

// Copies bytes both ways between two raw lines until stopped.
class Relay {
public:
    Relay(int a, int b) : There([this, a, b] { Copy(a, b); }), Back([this, a, b] { Copy(b, a); }) {}
    ~Relay()
    {
        Stop = true;
        There.join();
        Back.join();
    }

private:
    void Copy(int from, int to)
    {
        char buffer[4096];
        while (!Stop) {
            const ssize_t n = read(from, buffer, sizeof buffer);  // 0 after a tenth of a second of quiet
            if (n > 0) {
                ASSERT_EQ(write(to, buffer, static_cast<size_t>(n)), n);
            }
        }
    }
    std::atomic<bool> Stop{false};
    std::thread There, Back;
};

// A line in raw mode whose reads give up after a tenth of a second.
int OpenRaw(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios2 raw{};
    raw.c_cflag = CS8 | CREAD | CLOCAL | BOTHER;
    raw.c_ispeed = raw.c_ospeed = 115200;
    raw.c_cc[VTIME] = 1;
    EXPECT_TRUE(fd >= 0 && ioctl(fd, TCSETS2, &raw) == 0) << path;
    return fd;
}

// ccsim on a pty relayed to the UART at the other end of the adapter's
// cable; the adapter is COM1 as well as COM33, for the window's first port.
struct SimulatorBehindTheAdapter {
    explicit SimulatorBehindTheAdapter(int delayMs) : Sim(CCSIM_PATH, {"--port", "COM9", "--delay", std::to_string(delayMs)})
    {
        std::filesystem::create_symlink(UsbAdapter.Device, Ports.Path() + "/COM1");
    }
    testsupport::PortDirectory Ports;
    testsupport::Process Sim;
    bool Started = Sim.WaitForOutput("COM9 is ", 10s);
    int Line = OpenRaw(Ports.Path() + "/COM9");
    int Uart = OpenRaw("/dev/ttyS3");
    std::unique_ptr<Relay> Joined = std::make_unique<Relay>(Line, Uart);
    ~SimulatorBehindTheAdapter()
    {
        Joined.reset();
        close(Line);
        close(Uart);
    }
};

// The main window on the USB adapter (as COM1) against ccsim, which plays
// the controller on a pty relayed to the UART at the other end of the
// adapter's cable.
TEST(Drivers, WholeDownloadThroughTheUsbAdapter)
{
    SimulatorBehindTheAdapter controller(0);
    ASSERT_TRUE(controller.Started) << controller.Sim.Output();
    {
        testsupport::ModalAnswers boxes;
        TForm1 window;
        window.Button1->click();
        EXPECT_TRUE(apptest::WaitForLink(window, 20s));
        window.Button14->click();
        EXPECT_TRUE(boxes.WaitFor(QString::fromUtf8("发送完毕"), 1, 20s)) << boxes.Texts().join(", ").toStdString();
        window.Button15->click();
        EXPECT_TRUE(testsupport::WaitUntil([&] { return window.Label11->text() == QString::fromUtf8("断开"); }, 20s));
    }
    const std::string output = controller.Sim.Output();
    // The frames of the default configuration; each is answered with the
    // code in its fourth byte.
    std::size_t at = 0;
    for (const std::string frame : {"7E 01 00 02", "7E 05 00 04 01 02 03 04", "7E 06 00 05 01 02 03 04 05",
                                    "7E 07 00 06 01 02 03 04 06 08", "7E 08 00 07 01 02 03 04 05 06 07",
                                    "7E 03 00 08 02 FF", "7E 01 00 03"}) {
        at = output.find("<- " + frame + "  ", at);
        ASSERT_NE(at, std::string::npos) << "frame " << frame << " missing or out of order in\n" << output;
        EXPECT_EQ(output.compare(output.find('\n', at) + 1, 14, "-> 7E 01 00 " + frame.substr(9, 2)), 0)
            << "answer to " << frame;
    }
}

// --- a USB adapter pulled out and plugged back -----------------------------

// A command to QEMU's monitor and its answer (scripts/rig-monitor.py). The
// wait runs no event loop: what the command sets off in the window (a loss
// reported, a dialog) comes after, not nested inside it.
std::string Monitor(const std::string& command)
{
    const std::string folder = std::string(std::getenv("RIG_JOB")) + "/monitor";
    std::ofstream(folder + "/request.new") << command << '\n';
    std::filesystem::rename(folder + "/request.new", folder + "/request");
    const std::string reply = folder + "/reply";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(reply) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(std::filesystem::exists(reply)) << command;
    std::ifstream file(reply);
    const std::string answer{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::filesystem::remove(reply);
    return answer;
}

// Back under its old name, when nothing held the old device open.
void PlugAdapterBack()
{
    ASSERT_TRUE(testsupport::WaitUntil([] { return !std::filesystem::exists(UsbAdapter.Device); }, 10s));
    Monitor("device_add usb-serial,bus=xhci.0,chardev=usb,id=ftdi");
    ASSERT_TRUE(testsupport::WaitUntil([] { return std::filesystem::exists(UsbAdapter.Device) || std::filesystem::exists("/dev/ttyUSB1"); },
                                       20s));
    EXPECT_TRUE(std::filesystem::exists(UsbAdapter.Device)) << "the adapter came back under another name";
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// RUSAGE_CHILDREN (the processes waited for) or RUSAGE_THREAD (this thread).
double CpuMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// ccdl fails the port within a second of the removal, without spinning, and
// releases it: the adapter plugged back is ttyUSB0 (COM33) again, and a
// whole download on it passes.
TEST(Drivers, AdapterPulledOutUnderCcdlFailsAtOnceAndComesBackUnderItsName)
{
    SimulatorBehindTheAdapter controller(200);
    ASSERT_TRUE(controller.Started) << controller.Sim.Output();
    const double cpuBefore = CpuMilliseconds(RUSAGE_CHILDREN);
    testsupport::Process first(CCDL_PATH, {"download", "--port", "COM33", "--timeout", "5"});
    ASSERT_TRUE(first.WaitForOutput("COM33: 2/7 on sent", 30s)) << first.Err();
    const auto pulled = std::chrono::steady_clock::now();  // the monitor's round trip counts too
    Monitor("device_del ftdi");  // the adapter pulled out
    const long long monitor = MillisecondsSince(pulled);
    ASSERT_TRUE(first.WaitForOutput("COM33: failed at 2/7 on: the device went away", 10s)) << first.Err();
    const long long reported = MillisecondsSince(pulled);
    EXPECT_EQ(first.WaitExit(), 1);
    const double cpu = CpuMilliseconds(RUSAGE_CHILDREN) - cpuBefore;
    std::printf("ccdl: the removal reported after %lld ms (the monitor took %lld); %.0f ms of CPU for its whole run\n",
                reported, monitor, cpu);
    EXPECT_LT(reported - monitor, 1000) << first.Err();
    EXPECT_LT(cpu, 1000.0) << "ccdl spun";

    PlugAdapterBack();
    testsupport::Process second(CCDL_PATH, {"download", "--port", "COM33"});
    EXPECT_EQ(second.WaitExit(60s), 0) << second.Err();
}

// The window closes the gone port and says so within a second, without
// spinning; its settings dialog then lists the adapter plugged back, and a
// whole download goes through it.
TEST(Drivers, AdapterPulledOutUnderTheWindowIsReportedAndFoundAgain)
{
    SimulatorBehindTheAdapter controller(200);
    ASSERT_TRUE(controller.Started) << controller.Sim.Output();
    testsupport::ModalAnswers boxes;
    TForm1 window;
    window.Button1->click();
    ASSERT_TRUE(apptest::WaitForLink(window, 20s));

    bool listedAgain = false;
    double cpuAtDialog = 0;
    boxes.OnNextWindow(apptest::IsSettingsDialog,
                       [&](QWidget* dialog) {
                           cpuAtDialog = soak::ProcessCpuMilliseconds();
                           PlugAdapterBack();
                           auto* ports = dialog->findChild<QComboBox*>("CbPort");
                           listedAgain = testsupport::WaitUntil([&] {
                               return ports->itemData(ports->findText("COM1"), TPortComboBox::DetailRole).toString().startsWith("ttyUSB0");
                           }, 20s);
                           ports->setCurrentIndex(ports->findText("COM1"));
                           QTest::mouseClick(dialog->findChild<QPushButton*>("BnOK"), Qt::LeftButton);
                       });
    window.Button14->click();
    const double cpuBefore = soak::ProcessCpuMilliseconds(), pollingBefore = CpuMilliseconds(RUSAGE_THREAD);
    const auto pulled = std::chrono::steady_clock::now();
    Monitor("device_del ftdi");  // the adapter pulled out
    // The window reports once this thread is back; its polling for the
    // monitor's answer is not the window's CPU.
    const long long monitor = MillisecondsSince(pulled);
    const double polling = CpuMilliseconds(RUSAGE_THREAD) - pollingBefore;
    // The report runs nested in this wait, and the dialog's answer with it.
    const auto failureBox = [&] {
        return std::find_if(boxes.Boxes().begin(), boxes.Boxes().end(),
                            [](const auto& box) { return box.Text.startsWith("LxCommDevice1: "); });
    };
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return failureBox() != boxes.Boxes().end() && window.LxCommDevice1->fGetActive(); }, 30s))
        << boxes.Texts().join(", ").toStdString();
    const auto failure = failureBox();
    const auto reported = std::chrono::duration_cast<std::chrono::milliseconds>(failure->At - pulled).count();
    const double cpu = cpuAtDialog - cpuBefore - polling;
    std::printf("window: the removal reported after %lld ms (the monitor took %lld), %.0f ms of CPU until the dialog showed: %s\n",
                static_cast<long long>(reported), monitor, cpu, failure->Text.toStdString().c_str());
    EXPECT_LT(reported - monitor, 1000);
    // The window's whole process, drawing the box and the dialog included,
    // all emulated; a read thread that kept failing its passes would add
    // its own core's worth.
    EXPECT_LT(cpu, 1000.0) << "the window spun";
    EXPECT_TRUE(listedAgain);
    boxes.Clear();
    window.Button14->click();
    EXPECT_TRUE(boxes.WaitFor(QString::fromUtf8("发送完毕"), 1, 20s)) << boxes.Texts().join(", ").toStdString();
}

} // namespace
