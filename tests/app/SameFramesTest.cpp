// The window and ccdl run the same controller link: fed the same received
// packages, each sends the same frames. The window's poll runs once per
// tick of the table (its timer stopped, the packages of a tick waiting in
// its queue), and the test presses "传送" when the label first reads "连接"
// and "断开" after the first "发送完毕", as ccdl's driver does by itself.
#include <gtest/gtest.h>

#include "FrameText.h"
#include "LinkDriver.h"
#include "WindowOnPty.h"

using namespace apptest;
using testsupport::Bytes;

namespace {

using TTick = std::vector<Bytes>; // the packages one poll finds waiting

struct TCase {
    const char* Name;
    std::vector<TTick> Ticks;
    std::vector<std::string> Frames; // both send, the connect request first
    int LeftAfterTick = -1;          // the one tick after which the window leaves a package waiting
};

const Bytes Garbage {0x01, 0x02, 0x03};
const Bytes NotAFrame {0x41, 0x42, 0x43, 0x02};  // byte 3 is 2, but no frame mark

Bytes Ack(std::uint8_t code, Bytes behind = {})
{
    behind.insert(behind.begin(), {0x7E, 0x01, 0x00, code});
    return behind;
}

const char* const Connect = "7E 01 00 02";
const char* const Disconnect = "7E 01 00 03";
const char* const Off = "7E 05 00 04 01 02 03 04";
const char* const On = "7E 06 00 05 01 02 03 04 05";
const char* const Computer = "7E 07 00 06 01 02 03 04 06 08";
const char* const Video = "7E 08 00 07 01 02 03 04 05 06 07";

const TCase Cases[] = {
    {"whole download",
     {{Ack(2)}, {Ack(4)}, {Ack(5)}, {Ack(6)}, {Ack(7)}, {Ack(8)}, {Ack(3)}},
     {Connect, Off, On, Computer, Video, "7E 03 00 08 02 FF", Disconnect}},
    {"7E FF FF 02 is link up; of two frames in one package only the first counts",
     {{{0x7E, 0xFF, 0xFF, 0x02, 0x7E, 0x01, 0x00, 0x04}}, {Ack(4, Ack(6))}},
     {Connect, Off, On}},
    {"while down and asked for, every other package asks again",
     {{Garbage}, {Ack(5)}, {{0x7E}}, {NotAFrame}, {Ack(9)}, {Ack(2)}},
     {Connect, Connect, Computer, Connect, Connect, Connect, Connect, Off}},
    {"code 3 ends the poll; the package behind it waits for the next",
     {{Ack(2)}, {Ack(3), Ack(4)}, {}, {Garbage}},
     {Connect, Off, On},
     1},
    {"code 8 twice; while up and let go, every other package lets go again",
     {{Ack(2)}, {Ack(8)}, {Ack(8)}, {Garbage}, {Ack(6)}, {Ack(3)}},
     {Connect, Off, Disconnect, Disconnect, Disconnect, Video, Disconnect}},
};

class SameFrames : public WindowOnPty {
protected:
    std::vector<std::string> FromWindow(const TCase& c)
    {
        Window.Timer1->stop();
        int closed = 0;
        Window.LxCommDevice1->OnPackage = [&](TObject*, int type) { closed += (type & OrvekComm32::EV_RXCHAR) ? 1 : 0; };
        Window.Button1->click();
        bool transferred = false;
        bool disconnected = false;
        for (const TTick& tick : c.Ticks) {
            for (const Bytes& package : tick) {
                const int before = closed;
                Peer.Send(package);
                EXPECT_TRUE(WaitUntil([&] { return closed > before; })) << c.Name;
            }
            Window.Timer1Timer();
            EXPECT_EQ(Window.LxCommDevice1->ReadPackage(nullptr, 0) > 0, &tick - c.Ticks.data() == c.LeftAfterTick)
                << c.Name << ", tick " << &tick - c.Ticks.data();
            if (!transferred && Window.Label11->text() == U("连接")) {
                transferred = true;
                Window.Button14->click();
            }
            if (!disconnected && Boxes.Count(U("发送完毕")) > 0) {
                disconnected = true;
                Window.Button15->click();
            }
        }
        EXPECT_TRUE(Peer.WaitForFrames(c.Frames.size())) << c.Name;
        EXPECT_TRUE(Peer.Silent(100ms)) << c.Name;
        Window.LxCommDevice1->OnPackage = nullptr;
        return Peer.FrameTexts();
    }
};

std::vector<std::string> FromCcdl(const TCase& c)
{
    ccdl::TDownloadSettings settings;
    settings.Sequences = ccdl::DefaultSequences;
    settings.Retries = 100; // the link's rules alone, not ccdl's limit
    ccdl::TPortResult result;
    const std::function<void(const std::string&)> log = [](const std::string&) {};
    ccdl::TLinkDriver driver(settings, result, log);
    std::vector<std::string> frames {FrameText(driver.Start())};
    for (const TTick& tick : c.Ticks)
        for (const Bytes& package : tick)
            for (const Bytes& frame : driver.Package(package))
                frames.push_back(FrameText(frame));
    return frames;
}

} // namespace

TEST_F(SameFrames, WindowAndCcdlAnswerTheSamePackagesWithTheSameFrames)
{
    for (const TCase& c : Cases) {
        EXPECT_EQ(FromCcdl(c), c.Frames) << c.Name;
        EXPECT_EQ(FromWindow(c), c.Frames) << c.Name;
        // Back to the start for the next case: the port closed, the link down.
        Window.Button1->click();
        Window.Label11->setText(U("断开"));
        Peer.Clear();
        Boxes.Clear();
    }
}
