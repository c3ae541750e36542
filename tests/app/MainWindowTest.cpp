// The main window: its initial state, the port button and the settings
// dialog path, and the change checks of the edits. Real message boxes are
// answered as an operator would; the controller's end is a pty master.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "Lxcommdevice.h"
#include "Unit1.h"
#include "WindowOnPty.h"

using namespace OrvekComm32;
using namespace apptest;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

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

class MainWindow : public WindowOnPty {
};

TEST_F(MainWindow, InitialState)
{
    EXPECT_EQ(Window.windowTitle(), U("中控配置下载"));
    EXPECT_EQ(Window.Edit1->text(), "01 02 03 04 ");
    EXPECT_EQ(Window.Edit2->text(), "01 02 03 04 05");
    EXPECT_EQ(Window.Edit3->text(), "01 02 03 04 06 08");
    EXPECT_EQ(Window.Edit4->text(), "01 02 03 04 05 06 07");
    EXPECT_EQ(Window.ButtonSet->text(), U("串口设置"));
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    EXPECT_EQ(Window.Button14->text(), U("传送"));
    EXPECT_EQ(Window.Button15->text(), U("断开"));
    EXPECT_FALSE(Window.Button14->isEnabled());
    EXPECT_FALSE(Window.Button15->isEnabled());
    EXPECT_EQ(Window.Label11->text(), U("断开"));
    EXPECT_EQ(Window.ComboBox2->count(), 7);
    EXPECT_EQ(Window.ComboBox2->currentIndex(), -1);
    EXPECT_EQ(Window.ComboBox2->placeholderText(), "4800");
    EXPECT_EQ(Window.ComboBox3->currentIndex(), 2);
    EXPECT_EQ(Window.ComboBox3->currentText(), U("无"));
    EXPECT_EQ(Window.ComboBox1->count(), 13);
    EXPECT_EQ(Window.ComboBox1->currentIndex(), 0);
    EXPECT_FALSE(Window.ComboBox4->isEnabled());
    EXPECT_TRUE(Window.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(Window.Timer1->isActive());
    EXPECT_EQ(Window.Timer1->interval(), 50);

    Window.show();
    for (QWidget* hidden : std::initializer_list<QWidget*>{Window.Button3, Window.Button13, Window.Button16,
                                                           Window.Button18, Window.ComboBox1, Window.ComboBox4,
                                                           Window.Memo1, Window.Label3, Window.Label8})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    EXPECT_TRUE(Window.Edit1->isVisible());
    EXPECT_TRUE(Window.Label11->isVisible());

    TLxCommDevice& device = *Window.LxCommDevice1;
    EXPECT_EQ(device.fGetPortNo(), 1);
    EXPECT_EQ(device.fGetBaud(), br38400);
    EXPECT_EQ(device.fGetFrameSettings()->fGetFrameHead(), 0);
    EXPECT_EQ(device.fGetFrameSettings()->fGetFrameCtrl(), 0);
    ExpectPackageSettings(device);
    EXPECT_FALSE(device.fGetActive());
}

// The stops of the Tab key among the window's own fields, from Edit1 on.
std::vector<QString> TabStops(TForm1& window)
{
    std::vector<QString> stops;
    QWidget* const client = window.centralWidget();
    QWidget* widget = window.Edit1;
    do {
        if (widget->parentWidget() == client && widget->isVisibleTo(&window) &&
            (widget->focusPolicy() & Qt::TabFocus))
            stops.push_back(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != window.Edit1 && stops.size() < 64);
    return stops;
}

TEST_F(MainWindow, TabOrderAndTheComponentsStoredSettings)
{
    Window.show();
    EXPECT_EQ(TabStops(Window), (std::vector<QString>{"Edit1", "ButtonSet", "Button1", "Button14", "Button15",
                                                       "Edit2", "Edit3", "ComboBox2", "ComboBox3", "Edit4"}));
    EXPECT_EQ(Window.ComboBox4->count(), 3);
    EXPECT_EQ(Window.ComboBox4->currentText(), U("减速停止"));

    const TLxCommDevice& device = *Window.LxCommDevice1;
    EXPECT_EQ(device.fGetByteSize(), 8);
    EXPECT_EQ(device.fGetInBufSize(), 8192);
    EXPECT_EQ(device.fGetOutBufSize(), 8192);
    EXPECT_EQ(device.fGetHwInSize(), 1200);
    EXPECT_EQ(device.fGetHwOutSize(), 1200);
    EXPECT_EQ(device.fGetQueueSize(), 16);
    EXPECT_EQ(device.fGetFrameSettings()->fGetFrameTail(), 0);
}

TEST_F(MainWindow, EachOpenSendsOneConnectRequestAndCloseSendsNothing)
{
    Window.Button1->click();
    EXPECT_EQ(Boxes.Texts(), QStringList{U("打开成功")});
    EXPECT_EQ(Window.Button1->text(), U("关闭串口"));
    ASSERT_TRUE(Peer.WaitForFrames(1));
    ExpectPackageSettings(*Window.LxCommDevice1);

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

TEST_F(MainWindow, ConnectRequestWaitsUntilTheOpenMessageIsDismissed)
{
    Boxes.Hold(U("打开成功"));
    std::size_t sentUnderTheMessage = 1;
    QTimer::singleShot(300ms, [&] {
        sentUnderTheMessage = Peer.Received().size();
        Boxes.ReleaseHeld();
    });
    Window.Button1->click();
    EXPECT_EQ(sentUnderTheMessage, 0u);
    ASSERT_TRUE(Peer.WaitForFrames(1));
}

TEST_F(MainWindow, MissingPortShowsTheFailureThenTheDialogAndCancelEnds)
{
    Window.LxCommDevice1->fSetPortNo(99);
    DisturbPackageSettings(*Window.LxCommDevice1);
    NextDialog cancel([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    Window.Button1->click();
    ASSERT_FALSE(Boxes.Texts().isEmpty());
    EXPECT_TRUE(Boxes.Texts().first().startsWith("LxCommDevice1: ")) << Boxes.Texts().first().toStdString();
    EXPECT_TRUE(cancel.Answered());
    EXPECT_TRUE(Boxes.TerminateRequested());
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    ExpectPackageSettings(*Window.LxCommDevice1);
    EXPECT_TRUE(Peer.Silent(200ms));
}

TEST_F(MainWindow, ConfirmedSettingsDialogOpensThePortWithoutTouchingTheWindow)
{
    NextDialog confirm([](QWidget* dialog) {
        auto* ok = dialog->findChild<QPushButton*>("BnOK");
        ASSERT_NE(ok, nullptr);
        // A mouse click, which takes the focus: OK pressed while a field has
        // the focus would move on to the next field instead.
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    Window.ButtonSet->click();
    ASSERT_TRUE(confirm.Answered());
    EXPECT_TRUE(Window.LxCommDevice1->fGetActive());
    EXPECT_EQ(Window.Button1->text(), U("打开串口"));
    EXPECT_TRUE(Peer.Silent(200ms));  // no connect request

    Window.Button1->click();
    EXPECT_EQ(Boxes.Texts().last(), U("关闭成功"));
    EXPECT_FALSE(Window.LxCommDevice1->fGetActive());
}

TEST_F(MainWindow, Edit2FallsBackToTheLastAcceptedNumber)
{
    Window.Edit2->clear();
    QTest::keyClicks(Window.Edit2, "0102030");
    EXPECT_EQ(Window.Edit2->text(), "10203");
    EXPECT_EQ(Boxes.Texts(), QStringList{U("参数设置错误")});

    Window.Edit3->setText("70000");
    EXPECT_EQ(Window.Edit3->text(), "1600");
    Window.Edit3->setText("65535 x");
    EXPECT_EQ(Window.Edit3->text(), "65535 x");
    EXPECT_EQ(Boxes.Count(U("参数设置错误")), 2);
}

TEST_F(MainWindow, Edit4RefusesNegativeNumbersAndDrivesTheStopModeList)
{
    Window.Edit4->clear();  // leading number 0: the list is enabled
    EXPECT_TRUE(Window.ComboBox4->isEnabled());
    QTest::keyClicks(Window.Edit4, "-5");
    EXPECT_EQ(Window.Edit4->text(), "0");
    EXPECT_EQ(Boxes.Count(U("参数设置错误")), 1);

    Window.Edit4->setText("A0 01");
    EXPECT_EQ(Boxes.Count(U("参数设置错误")), 1);
    EXPECT_TRUE(Window.ComboBox4->isEnabled());
    Window.ComboBox4->setCurrentIndex(2);
    Window.Edit4->setText("7");
    EXPECT_FALSE(Window.ComboBox4->isEnabled());
    EXPECT_EQ(Window.ComboBox4->currentIndex(), 0);
}

} // namespace
