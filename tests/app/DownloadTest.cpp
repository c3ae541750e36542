// The controller link end to end: the main window and a controller played
// on the pty's master end, through the whole download and the link's
// corner cases; and the sensor service commands on the same line.
#include <gtest/gtest.h>

#include <QApplication>

#include <optional>

#include "Unit2.h"
#include "WindowOnPty.h"

using namespace apptest;
using testsupport::Bytes;

namespace {

class Download : public WindowOnPty {
protected:
    // Opens the port with "打开串口" and takes the connect request.
    void Open()
    {
        Window.Button1->click();
        ASSERT_TRUE(Peer.WaitForFrames(1));
        Peer.Clear();
    }

    // ... and brings the link up with the controller's code 2.
    void Connect()
    {
        Open();
        Peer.Send({0x7E, 0x01, 0x00, 0x02});
        ASSERT_TRUE(WaitForLink(Window));
    }
};

// Keys go where the operator's keyboard would send them: to the focus.
void Key(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

void Type(const QString& text)
{
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, text, Qt::NoModifier);
}

bool FocusIn(QWidget* widget)
{
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

// The whole download with the default texts. Walking the form first with
// Tab, Enter and typing in the lists and a click elsewhere picks no item:
// the baud code stays 0xFF and the parity "无". An arrow key is a pick.
TEST_F(Download, WholeDownloadWhereLineSettingsChangeOnlyOnAPick)
{
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    Window.Edit1->setFocus();
    for (int stop = 0; stop < 12; ++stop)  // once round the whole form
        Key(Qt::Key_Tab);
    for (int stop = 0; stop < 12 && !FocusIn(Window.ComboBox2); ++stop)
        Key(Qt::Key_Tab);
    ASSERT_TRUE(FocusIn(Window.ComboBox2));
    Key(Qt::Key_Return);
    Type("1");
    Key(Qt::Key_Tab);
    ASSERT_TRUE(FocusIn(Window.ComboBox3));
    Key(Qt::Key_Enter);
    Type(U("偶"));
    QTest::mouseClick(Window.Edit4, Qt::LeftButton);
    ASSERT_TRUE(FocusIn(Window.Edit4));

    Peer.SetAnswering(true);
    Window.Button1->click();
    ASSERT_TRUE(WaitForLink(Window));
    Window.Button14->click();  // a disabled button would send nothing
    ASSERT_TRUE(Boxes.WaitFor(U("发送完毕")));
    EXPECT_EQ(Peer.FrameTexts(), (std::vector<std::string>{
                                     "7E 01 00 02",
                                     "7E 05 00 04 01 02 03 04",
                                     "7E 06 00 05 01 02 03 04 05",
                                     "7E 07 00 06 01 02 03 04 06 08",
                                     "7E 08 00 07 01 02 03 04 05 06 07",
                                     "7E 03 00 08 02 FF",
                                 }));

    QTest::keyClick(Window.ComboBox2, Qt::Key_Down);
    Window.Button14->click();
    ASSERT_TRUE(Boxes.WaitFor(U("发送完毕"), 2));
    EXPECT_EQ(Peer.FrameTexts().back(), "7E 03 00 08 02 00");

    Peer.Clear();
    Window.Button15->click();
    ASSERT_TRUE(WaitUntil([&] { return Window.Label11->text() == U("断开"); }));
    EXPECT_EQ(Peer.FrameTexts(), std::vector<std::string>{"7E 01 00 03"});
    EXPECT_TRUE(Peer.Silent(300ms));  // no re-sends once the link is down
}

TEST_F(Download, SequenceFramesFollowTheEditsUpTo512Bytes)
{
    Connect();
    Window.Edit1->clear();
    Window.Button14->click();
    ASSERT_TRUE(Peer.WaitForFrames(1));
    EXPECT_EQ(Peer.FrameTexts().back(), "7E 01 00 04");

    Window.Edit1->setText(QString("1 ").repeated(512) + "2");  // the 513th byte is not sent
    Window.Button14->click();
    ASSERT_TRUE(Peer.WaitForFrames(2));
    EXPECT_EQ(Peer.FrameTexts().back().substr(0, 11), "7E 01 02 04");
    EXPECT_TRUE(Peer.FrameTexts().back().ends_with(" 01"));
}

// The link's corner cases (foreign packages, the length never read, two
// frames in one package, code 3 and the package behind it, the disconnect
// re-sends) are the table of the same-frames test, which runs this window.

TEST_F(Download, CompletionIsShownEachTimeAndPollsGoOnUnderTheMessage)
{
    Connect();
    // Runs inside the message's own loop, while the poll that shows it
    // waits: a nested poll still answers the controller's next code.
    std::optional<bool> answeredUnderTheMessage;
    Boxes.WhileShown(U("发送完毕"), [&] {
        Peer.Send({0x7E, 0x01, 0x00, 0x06});
        answeredUnderTheMessage = Peer.WaitForFrames(1);
    });
    Peer.Send({0x7E, 0x01, 0x00, 0x08});
    ASSERT_TRUE(WaitUntil([&] { return answeredUnderTheMessage.has_value(); }, 10s));
    EXPECT_TRUE(*answeredUnderTheMessage);
    EXPECT_EQ(Peer.FrameTexts(), std::vector<std::string>{"7E 08 00 07 01 02 03 04 05 06 07"});

    Peer.Send({0x7E, 0x01, 0x00, 0x08});
    ASSERT_TRUE(Boxes.WaitFor(U("发送完毕"), 2));
}

// --- sensor service commands ---

TEST_F(Download, ServiceCommandsAreFramedShownAndSent)
{
    Open();
    Window.Button4->click();
    ASSERT_TRUE(Peer.WaitForBytes(11));
    EXPECT_EQ(FrameText(Peer.Received()), "7E 10 08 00 97 AB 86 00 A2 02 82");
    EXPECT_EQ(Window.Edit1->text(), "7E 10 08 00 97 AB 86 00 A2 02 82");

    Peer.Clear();
    Window.ComboBox1->setCurrentIndex(12);
    Window.Button8->click();
    ASSERT_TRUE(Peer.WaitForBytes(12));
    EXPECT_EQ(FrameText(Bytes(&Peer.Received()[8], &Peer.Received()[10])), "A6 0C");
}

TEST_F(Download, ServiceCommandsAreRefusedWhileThePortIsClosed)
{
    for (QPushButton* button : {Window.Button3, Window.Button4, Window.Button13, Window.Button18})
        button->click();
    EXPECT_EQ(Boxes.Count(U("串口未打开")), 4);
    EXPECT_EQ(Window.Edit1->text(), "01 02 03 04 ");
    EXPECT_TRUE(Peer.Silent(200ms));
}

TEST_F(Download, SensorDialogSendsTheTwelveLevels)
{
    Open();
    Boxes.OnNextWindow([](QWidget* w) { return qobject_cast<TForm2*>(w) != nullptr; }, [&](QWidget* dialog) {
        static_cast<TForm2*>(dialog)->Button1->click();
        static_cast<TForm2*>(dialog)->Button2->click();
    });
    Window.Button5->click();
    ASSERT_TRUE(Peer.WaitForBytes(23));
    EXPECT_EQ(FrameText(Peer.Received()),
              "7E 10 14 00 8A AB 86 00 A3 00 00 00 00 00 00 00 00 00 00 00 00 02 82");
}

} // namespace
