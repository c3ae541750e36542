// The main window: its initial state, the port button and the settings
// dialog path, and the change checks of the edits. Real message boxes are
// answered as an operator would; the controller's end is a pty master.
#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <QComboBox>

#include "LangQt.h"
#include "PortComboBox.h"
#include "WindowOnPty.h"

using namespace OrvekComm32;
using namespace apptest;

namespace {

// What the settings dialog could leave behind between two presses.
void DisturbPackageSettings(TLxCommDevice& device)
{
    device.fSetUsePackage(false);
    device.fSetPackageType(cptFrameHeadTail);
    device.fSetPackageSize(64);
}

void ExpectPackageSettings(TLxCommDevice& device)
{
    EXPECT_EQ(device.fGetPackageSize(), 4096);
    EXPECT_EQ(device.fGetPackageType(), cptFrameTimeout);
    EXPECT_TRUE(device.fGetUsePackage());
}

using MainWindow = WindowOnPty;

TEST_F(MainWindow, InitialStateAndTabOrder)
{
    EXPECT_FALSE(Application::Icon().pixmap(32).isNull()) << "no icon for the windows";
    EXPECT_EQ(Window.ComboBox2->placeholderText(), "4800");
    EXPECT_FALSE(Window.Button14->isEnabled());
    EXPECT_FALSE(Window.Button15->isEnabled());
    EXPECT_EQ(Window.LxCommDevice1->fGetBaud(), br38400);

    // The Tab stops among the window's own fields, from Edit1 on: the
    // hidden service controls take none.
    Window.show();
    QStringList stops;
    QWidget* widget = Window.Edit1;
    do {
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus) && widget->objectName() != "")
            stops << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != Window.Edit1 && stops.size() < 64);
    EXPECT_EQ(stops, QStringList({"Edit1", "ButtonSet", "Button1", "Button14", "Button15", "Edit2", "Edit3",
                                  "ComboBox2", "ComboBox3", "Edit4"}));
}

// The connect request waits until the open message is dismissed.
TEST_F(MainWindow, EachOpenSendsOneConnectRequestAndCloseSendsNothing)
{
    bool silentUnderTheMessage = false;
    Boxes.WhileShown(U("打开成功"), [&] { silentUnderTheMessage = Peer.Silent(200ms); });
    Window.Button1->click();
    EXPECT_TRUE(silentUnderTheMessage);
    EXPECT_EQ(Boxes.Texts(), QStringList{U("打开成功")});
    // Wide enough for its title beside the title bar's icon and buttons.
    EXPECT_GE(Boxes.Boxes().front().Width, Boxes.Boxes().front().TitleWidth + 120);
    EXPECT_EQ(Window.Button1->text(), U("关闭串口"));
    ASSERT_TRUE(Peer.WaitForFrames(1));

    DisturbPackageSettings(*Window.LxCommDevice1);
    Window.Button1->click();
    EXPECT_EQ(Boxes.Texts().last(), U("关闭成功"));
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    EXPECT_FALSE(Window.LxCommDevice1->fGetActive());
    ExpectPackageSettings(*Window.LxCommDevice1);

    Window.Button1->click();
    ASSERT_TRUE(Peer.WaitForFrames(2));
    EXPECT_TRUE(Peer.Silent(300ms));
    EXPECT_EQ(Peer.FrameTexts(), (std::vector<std::string>{"7E 01 00 02", "7E 01 00 02"}));
}

// An answer that reaches the package layer just before the press ends must
// survive the press's re-applied package settings, which are the values the
// layer already has.
TEST_F(MainWindow, AnAnswerBeingReceivedWhenThePressEndsIsKept)
{
    TLxCommDevice& device = *Window.LxCommDevice1;
    constexpr long Hour = 3600 * 1000;
    device.fSetPackageInterval(Hour); // the layer wakes only when told to
    bool inTheLayer = false;
    Boxes.WhileShown(U("打开成功"), [&] {
        Window.Timer1->stop(); // nothing reads the answer before the press ends
        Pty.Write(testsupport::Bytes {0x7E, 0x01, 0x00, 0x02});
        // The engine holds the bytes, unless the layer's own wake at opening
        // came late enough to take them in already.
        int unread = -1;
        const auto inEngine = [&] { return device.fGetInQueue()->Count(); };
        const bool read = WaitUntil([&] {
            return ioctl(Pty.SlaveFd(), FIONREAD, &unread) == 0 && unread == 0 && inEngine() == 4;
        }, 2s) || inEngine() == 0;
        device.fSetPackageInterval(Hour); // a new interval wakes the layer, which takes them in
        inTheLayer = read && WaitUntil([&] { return inEngine() == 0; });
    });
    Window.Button1->click();
    ASSERT_TRUE(inTheLayer);
    device.fSetPackageInterval(20); // the line has been silent: the package closes
    Window.Timer1->start();
    EXPECT_TRUE(WaitForLink(Window));
}

TEST_F(MainWindow, MissingPortShowsTheFailureThenTheDialogAndCancelEnds)
{
    Window.LxCommDevice1->fSetPortNo(99);
    DisturbPackageSettings(*Window.LxCommDevice1);
    bool answered = false;
    Boxes.OnNextWindow(IsSettingsDialog, [&](QWidget* dialog) {
        answered = true;
        static_cast<QDialog*>(dialog)->reject();
    });
    Window.Button1->click();
    EXPECT_TRUE(Boxes.Texts().value(0).startsWith("LxCommDevice1: ")) << Boxes.Texts().value(0).toStdString();
    EXPECT_TRUE(answered);
    EXPECT_EQ(Terminate.Requests, 1);
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    ExpectPackageSettings(*Window.LxCommDevice1);
    EXPECT_TRUE(Peer.Silent(200ms));
}

TEST_F(MainWindow, ConfirmedSettingsDialogOpensThePortWithoutTouchingTheWindow)
{
    // A mouse click, which takes the focus: OK pressed while a field has the
    // focus would move on to the next field instead.
    Boxes.OnNextWindow(IsSettingsDialog, [](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("BnOK"), Qt::LeftButton);
    });
    Window.ButtonSet->click();
    EXPECT_TRUE(Window.LxCommDevice1->fGetActive());
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    EXPECT_TRUE(Peer.Silent(200ms));  // no connect request

    Window.Button1->click();
    EXPECT_EQ(Boxes.Texts().last(), U("关闭成功"));
    EXPECT_FALSE(Window.LxCommDevice1->fGetActive());
}

// A port that goes away under the open window (its line hung up, as a
// pulled USB adapter hangs up its tty) is closed at once and reported as a
// port failure; the settings dialog then lists the port plugged back, and
// confirming it opens the port on the new device.
TEST_F(MainWindow, LostPortIsClosedReportedAndFoundAgain)
{
    Peer.SetAnswering(true);
    Window.Button1->click();
    ASSERT_TRUE(WaitForLink(Window));
    std::unique_ptr<testsupport::PtyPort> replugged;
    bool closedWhenAsked = false, listedAgain = false;
    Boxes.OnNextWindow(IsSettingsDialog, [&](QWidget* dialog) {
        closedWhenAsked = !Window.LxCommDevice1->fGetActive() && Window.Button1->text() == U("打开串口");
        replugged = std::make_unique<testsupport::PtyPort>(1);
        auto* ports = dialog->findChild<QComboBox*>("CbPort");
        const QString node = QString::fromStdString(replugged->SlavePath()).mid(5);  // "pts/N"
        listedAgain = WaitUntil([&] {
            return ports->itemData(ports->findText("COM1"), TPortComboBox::DetailRole).toString() == node;
        });
        ports->setCurrentIndex(ports->findText("COM1"));
        QTest::mouseClick(dialog->findChild<QPushButton*>("BnOK"), Qt::LeftButton);
    });
    const std::string device = Pty.SlavePath();
    Peer.Detach();
    Pty.Hangup();
    const auto reported = [&] { return Boxes.Texts().filter(QStringLiteral("LxCommDevice1: ")).size() == 1; };
    ASSERT_TRUE(WaitUntil(reported));
    const QString text = Boxes.Texts().filter(QStringLiteral("LxCommDevice1: ")).front();
    EXPECT_TRUE(text.startsWith("LxCommDevice1: " + LangQString(EComm32Error(EComm32Error::ecPortLost).Message())))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(device))) << text.toStdString();
    EXPECT_TRUE(closedWhenAsked);
    EXPECT_TRUE(listedAgain);
    ASSERT_TRUE(Window.LxCommDevice1->fGetActive());
    ControllerPeer peer(*replugged);
    Window.Button14->click();
    ASSERT_TRUE(peer.WaitForFrames(1));
    EXPECT_EQ(peer.FrameTexts().front(), "7E 05 00 04 01 02 03 04");
    EXPECT_EQ(Terminate.Requests, 0);
}

TEST_F(MainWindow, ChangeChecksFallBackToTheLastAcceptedNumber)
{
    Window.Edit2->clear();
    QTest::keyClicks(Window.Edit2, "0102030");
    EXPECT_EQ(Window.Edit2->text(), "10203");
    Window.Edit3->setText("70000");
    EXPECT_EQ(Window.Edit3->text(), "1600");
    Window.Edit3->setText("65535 x");
    EXPECT_EQ(Window.Edit3->text(), "65535 x");

    // Edit4 refuses negative numbers only, and drives the stop-mode list.
    Window.Edit4->clear();
    QTest::keyClicks(Window.Edit4, "-5");
    EXPECT_EQ(Window.Edit4->text(), "0");
    EXPECT_EQ(Boxes.Count(U("参数设置错误")), 3);
    Window.Edit4->setText("A0 01");
    EXPECT_TRUE(Window.ComboBox4->isEnabled());
    Window.ComboBox4->setCurrentIndex(2);
    Window.Edit4->setText("7");
    EXPECT_FALSE(Window.ComboBox4->isEnabled());
    EXPECT_EQ(Window.ComboBox4->currentIndex(), 0);
    EXPECT_EQ(Boxes.Count(U("参数设置错误")), 3);
}

} // namespace
