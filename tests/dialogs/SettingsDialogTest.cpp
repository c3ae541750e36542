// The port settings dialog against a real component: what it shows, the
// order and texts of its checks, the Enter chain, what OK writes and opens,
// and the restore after a failed open.
#include "Unit_lxcommdevice_settings.h"

#include <termios.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "AppLangAs.h"

#include "LangQt.h"
#include "ModalWatcher.h"
#include "PtyPort.h"
#include "TCommSerialPortInfo.h"

using namespace OrvekComm32;
using namespace TOrvekFuncs;
using Settings = TForm_LxCommDevice_Settings;
using dialogtest::ModalWatcher;

using testsupport::AppLangAs;

namespace {

template <typename Control>
Control* Find(const QWidget& dialog, const char* name)
{
    auto* control = dialog.findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QComboBox* List(const QWidget& dialog, const char* name) { return Find<QComboBox>(dialog, name); }
QLineEdit* Edit(const QWidget& dialog, const char* name) { return Find<QLineEdit>(dialog, name); }
QPushButton* Button(const QWidget& dialog, const char* name) { return Find<QPushButton>(dialog, name); }

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// The settings the dialog edits, as the component reads them.
struct Snapshot {
    int PortNo;
    TBaudRate Baud;
    TParity Parity;
    int ByteSize;
    TStopBits StopBits;
    TFlowControl FlowControl;
    int AutoAnswer;
    long InBufSize;
    long OutBufSize;
    bool Active;
    bool operator==(const Snapshot&) const = default;
};

Snapshot SnapshotOf(const TLxCustomCommDevice& device)
{
    return {device.fGetPortNo(),     device.fGetBaud(),       device.fGetParity(),
            device.fGetByteSize(),   device.fGetStopBits(),   device.fGetFlowControl(),
            device.fGetAutoAnswer(), device.fGetInBufSize(),  device.fGetOutBufSize(),
            device.fGetActive()};
}

speed_t LineSpeed(int fd)
{
    termios line{};
    EXPECT_EQ(tcgetattr(fd, &line), 0);
    return cfgetospeed(&line);
}

// Each test gets a link directory of its own, so that the port list holds
// exactly the ptys it registers (and whatever real ports the machine has).
class SettingsDialog : public ::testing::Test {
protected:
    SettingsDialog() { device.fSetPortNo(Unlisted()); }

    // A port number the enumeration does not list.
    static int Unlisted()
    {
        const TCommSerialPortInfo ports;
        int number = 200;
        for (int i = 0; i < ports.PortList->Count(); ++i)
            number = std::max(number, TCommSerialPortInfo::PortNo(ports.PortList->Strings(i)) + 1);
        return number;
    }

    std::unique_ptr<Settings> Open(bool openOnOK = false)
    {
        auto dialog = std::make_unique<Settings>(nullptr, &device, openOnOK);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        return dialog;
    }

    // OK as a mouse click does it: the button takes the focus first.
    static void ClickOK(Settings& dialog) { QTest::mouseClick(Button(dialog, "BnOK"), Qt::LeftButton); }

    // Expects exactly one error box with `text`, titled with the caption,
    // with the focus left on `control` and the dialog still open.
    void ExpectRefused(const Settings& dialog, const QString& text, const char* control)
    {
        ASSERT_EQ(boxes.Boxes().size(), 1u) << text.toStdString();
        const dialogtest::ShownBox& box = boxes.Boxes().front();
        EXPECT_EQ(box.Text, text);
        EXPECT_EQ(box.Title, dialog.windowTitle());
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        EXPECT_EQ(box.Buttons, QMessageBox::Ok);
        EXPECT_EQ(box.Parent, &dialog);
        EXPECT_EQ(dialog.focusWidget(), dialog.findChild<QWidget*>(control)) << control;
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 0);
        boxes.Clear();
    }

    AppLangAs english{ltEnglish};
    testsupport::PortDirectory portDirectory;
    ModalWatcher boxes;
    TLxCommDevice device;
};

} // namespace

TEST(SettingsTexts, EveryLanguageHasAllEntriesAndTraditionalOnesSurviveBig5)
{
    const TLangTextSet& set = Settings::TextSet();
    ASSERT_EQ(set.Count(), std::size_t(Settings::txtCount));
    ASSERT_EQ(set.Count(), 36u);
    for (std::size_t i = 0; i < set.Count(); ++i) {
        for (TLangType type : {ltEnglish, ltGbk, ltBig5})
            EXPECT_GT(set.Entry(type, i).Length(), 0u) << int(type) << ' ' << i;
        // No traditional text may lose a character on its way to Big5.
        AppLangAs big5(ltBig5);
        EXPECT_EQ(CharsetToUtf8(LangText(set, i), 136), CharsetToUtf8(set.Entry(ltBig5, i), 134)) << i;
    }
}

TEST(SettingsTexts, IntegersAreWholeDecimalTextsWithinAnInt)
{
    struct Case { const char* text; std::optional<int> value; };
    const Case cases[] = {
        {"0", 0}, {"255", 255}, {"-1", -1}, {"+7", 7}, {"  4096\t", 4096}, {"\x01" "12\n", 12},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt}, {"", std::nullopt}, {"   ", std::nullopt}, {"-", std::nullopt},
        {"abc", std::nullopt}, {"12a", std::nullopt}, {"1 2", std::nullopt}, {"0x10", std::nullopt},
        {"1.0", std::nullopt}, {"--1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Settings::IntegerOf(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
    // Digits of other scripts are not decimal digits here.
    EXPECT_EQ(Settings::IntegerOf(QString::fromUtf8("１２")), std::nullopt);
    EXPECT_EQ(Settings::IntegerOf(QString::fromUtf8("٣")), std::nullopt);
}

TEST_F(SettingsDialog, ShowsItsTextsInEachLanguage)
{
    struct Language {
        TLangType type;
        const char* caption;
        const char* portLabel;
        const char* modemGroup;
        const char* ok;
        const char* spaceParity;
        const char* bothFlows;
    };
    const Language languages[] = {
        {ltEnglish, "COM port Setup", "COM port", "Modem", "&OK", "Space Parity", "RTS/CTS & Xon/Xoff"},
        {ltGbk, "端口设置", "端口", "调制解调器选项", "确定", "Space (空格)", "RTS/CTS & Xon/Xoff (硬&软)"},
        {ltBig5, "序列埠設置", "序 列 埠", "數據機選項", "確定", "Space (空白)", "RTS/CTS & Xon/Xoff (硬&軟)"},
    };
    for (const Language& language : languages) {
        AppLangAs as(language.type);
        device.Designing = true;
        const Settings dialog(nullptr, &device, false);
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(language.caption));
        EXPECT_EQ(Find<QLabel>(dialog, "lbPort")->text(), QString::fromUtf8(language.portLabel));
        EXPECT_EQ(Find<QGroupBox>(dialog, "GBoxModem")->title(), QString::fromUtf8(language.modemGroup));
        EXPECT_EQ(Button(dialog, "BnOK")->text(), QString::fromUtf8(language.ok));
        EXPECT_EQ(List(dialog, "CbParity")->itemText(4), QString::fromUtf8(language.spaceParity));
        EXPECT_EQ(List(dialog, "CbFlow")->itemText(3), QString::fromUtf8(language.bothFlows));

        // No label runs under its field, whatever face stands in.
        for (const char* name : {"lbPort", "lbBaud", "lbCheck", "lbBits", "lbStops", "lbFlow", "lbAAns", "lbInbs",
                                 "lbOutbs"}) {
            const QLabel* label = Find<QLabel>(dialog, name);
            EXPECT_LT(label->geometry().right(), 64) << name << ' ' << int(language.type);
            EXPECT_GE(label->width(), label->sizeHint().width()) << name << " is cut";
        }
        EXPECT_EQ(dialog.font().family(), LangDialogFont().family());
        EXPECT_EQ(dialog.font().pointSize(), AppLang.FontSize());
    }
}

TEST_F(SettingsDialog, FieldsSitInRowsBesideTheirLabelsInTabOrder)
{
    device.Designing = true;
    const Settings dialog(nullptr, &device, false);
    EXPECT_EQ(dialog.size(), QSize(393, 228));
    struct Row { const char* label; const char* list; const char* parent; int top; };
    for (const Row& r : {Row{"lbPort", "CbPort", "GboxBase", 24}, Row{"lbBaud", "CbSelBaud", "GboxBase", 56},
                         Row{"lbCheck", "CbParity", "GboxBase", 88}, Row{"lbBits", "CbByteSize", "GboxBase", 120},
                         Row{"lbStops", "CbStopBits", "GboxBase", 152}, Row{"lbFlow", "CbFlow", "GBoxModem", 24}}) {
        const QComboBox* list = List(dialog, r.list);
        EXPECT_EQ(list->pos(), QPoint(64, r.top)) << r.list;
        EXPECT_EQ(list->width(), 105) << r.list;
        EXPECT_FALSE(list->isEditable()) << r.list;
        EXPECT_EQ(list->parentWidget()->objectName(), r.parent) << r.list;
        EXPECT_EQ(Find<QLabel>(dialog, r.label)->pos(), QPoint(8, r.top + 4)) << r.label;
    }
    for (const char* name : {"BnAbout", "BnDefault", "BnOK", "BnCancel"}) {
        EXPECT_EQ(Button(dialog, name)->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_FALSE(Button(dialog, name)->icon().isNull()) << name;
    }
    EXPECT_TRUE(Button(dialog, "BnOK")->isDefault());

    QStringList order;
    const QWidget* widget = List(dialog, "CbPort");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != List(dialog, "CbPort"));
    EXPECT_EQ(order, QStringList({"CbPort", "CbSelBaud", "CbParity", "CbByteSize", "CbStopBits", "CbFlow",
                                  "EditAutoAns", "EditInBufSize", "EditOutBufSize", "BnAbout", "BnDefault", "BnOK",
                                  "BnCancel"}));
}

TEST_F(SettingsDialog, ARunningProgramSeesOnlyOkAndCancelAroundTheCentre)
{
    const auto dialog = Open();
    EXPECT_FALSE(Button(*dialog, "BnAbout")->isVisible());
    EXPECT_FALSE(Button(*dialog, "BnDefault")->isVisible());
    const QRect ok = Button(*dialog, "BnOK")->geometry();
    const QRect cancel = Button(*dialog, "BnCancel")->geometry();
    EXPECT_EQ(ok.left(), (393 - 75) / 2 - 60);
    EXPECT_EQ(cancel.left(), (393 - 75) / 2 + 60);
    EXPECT_EQ(ok.top(), 200);
    // Centres 60 pixels either side of the centre line, counted in halves.
    EXPECT_EQ(2 * ok.left() + ok.width(), 393 - 120);
    EXPECT_EQ(2 * cancel.left() + cancel.width(), 393 + 120);
}

TEST_F(SettingsDialog, ShowsTheComponentsSettings)
{
    testsupport::PtyPort com7(7), com12(12);
    device.fSetPortNo(12);
    device.fSetBaud(br9600);
    device.fSetParity(ptEvenParity);
    device.fSetByteSize(7);
    device.fSetStopBits(sbTwoStopBit);
    device.fSetFlowControl(fcRtsCts);
    device.fSetAutoAnswer(3);
    device.fSetInBufSize(5000);
    device.fSetOutBufSize(70000);
    const Settings dialog(nullptr, &device, false);

    const QComboBox* ports = List(dialog, "CbPort");
    const TCommSerialPortInfo listed;
    ASSERT_EQ(ports->count(), listed.PortList->Count());
    for (int i = 0; i < ports->count(); ++i)
        EXPECT_EQ(ports->itemText(i).toStdString(), listed.PortList->Strings(i).c_str());
    EXPECT_EQ(ports->currentText(), "COM12");
    EXPECT_EQ(ports->itemData(ports->findText("COM7"), Qt::ToolTipRole).toString(),
              QString::fromStdString(com7.SlavePath()));
    EXPECT_EQ(ports->toolTip(), QString::fromStdString(com12.SlavePath()));

    EXPECT_EQ(List(dialog, "CbSelBaud")->currentText(), "9600");
    EXPECT_EQ(List(dialog, "CbParity")->currentText(), "Even");
    EXPECT_EQ(List(dialog, "CbByteSize")->currentText(), "7");
    EXPECT_EQ(List(dialog, "CbStopBits")->currentText(), "2");
    EXPECT_EQ(List(dialog, "CbFlow")->currentText(), "RTS/CTS");
    EXPECT_EQ(Edit(dialog, "EditAutoAns")->text(), "3");
    EXPECT_EQ(Edit(dialog, "EditInBufSize")->text(), "5000");
    EXPECT_EQ(Edit(dialog, "EditOutBufSize")->text(), "70000");
    EXPECT_EQ(Items(List(dialog, "CbSelBaud")),
              QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
                           "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(Items(List(dialog, "CbByteSize")), QStringList({"5", "6", "7", "8"}));
    EXPECT_EQ(Items(List(dialog, "CbStopBits")), QStringList({"1", "1.5", "2"}));

    // A byte size the list does not offer leaves it without a selection.
    device.fSetByteSize(4);
    const Settings odd(nullptr, &device, false);
    EXPECT_EQ(List(odd, "CbByteSize")->currentIndex(), -1);
}

TEST_F(SettingsDialog, AnUnlistedPortMustBePickedBeforeOkApplies)
{
    testsupport::PtyPort com7(7);
    const Snapshot before = SnapshotOf(device);
    const auto dialog = Open();
    EXPECT_EQ(List(*dialog, "CbPort")->currentIndex(), -1);

    ClickOK(*dialog);
    ExpectRefused(*dialog, "Must select COM Port", "CbPort");
    EXPECT_EQ(SnapshotOf(device), before);

    List(*dialog, "CbPort")->setCurrentIndex(List(*dialog, "CbPort")->findText("COM7"));
    ClickOK(*dialog);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(device.fGetPortNo(), 7);
    EXPECT_FALSE(device.fGetActive());
}

TEST_F(SettingsDialog, ChecksRunInOrderEachWithItsMessageAndField)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    const Snapshot before = SnapshotOf(device);
    const auto dialog = Open();
    for (const char* name : {"CbSelBaud", "CbByteSize", "CbParity", "CbStopBits", "CbFlow"})
        List(*dialog, name)->setCurrentIndex(-1);
    List(*dialog, "CbPort")->setCurrentIndex(-1);
    for (const char* name : {"EditAutoAns", "EditInBufSize", "EditOutBufSize"})
        Edit(*dialog, name)->clear();

    // Each failure names the first faulty field; mending it shows the next.
    struct Step { const char* control; const char* message; std::function<void()> mend; };
    const Step steps[] = {
        {"CbPort", "Must select COM Port", [&] { List(*dialog, "CbPort")->setCurrentText("COM7"); }},
        {"CbSelBaud", "Must select baud rate", [&] { List(*dialog, "CbSelBaud")->setCurrentIndex(0); }},
        {"CbByteSize", "Must select byte size", [&] { List(*dialog, "CbByteSize")->setCurrentIndex(0); }},
        {"CbParity", "Must select parity check", [&] { List(*dialog, "CbParity")->setCurrentIndex(0); }},
        {"CbStopBits", "Must select stop bits", [&] { List(*dialog, "CbStopBits")->setCurrentIndex(0); }},
        {"CbFlow", "Must select flow control", [&] { List(*dialog, "CbFlow")->setCurrentIndex(0); }},
        {"EditAutoAns", "Auto Answer: 0 - 255", [&] { Edit(*dialog, "EditAutoAns")->setText("0"); }},
        {"EditInBufSize", "Input Buffer size error", [&] { Edit(*dialog, "EditInBufSize")->setText("4096"); }},
        {"EditOutBufSize", "Output Buffer size error", [&] { Edit(*dialog, "EditOutBufSize")->setText("4096"); }},
    };
    for (const Step& step : steps) {
        ClickOK(*dialog);
        ExpectRefused(*dialog, step.message, step.control);
        EXPECT_EQ(SnapshotOf(device), before) << step.control;
        step.mend();
    }
    ClickOK(*dialog);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const Snapshot expected{7, br110, ptNoParity, 5, sbOneStopBit, fcNone, 0, 4096, 4096, false};
    EXPECT_EQ(SnapshotOf(device), expected);
}

TEST_F(SettingsDialog, NumberFieldsTakeTheirRangesAndIgnoreBlanks)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    struct Case { const char* field; const char* text; const char* refusal; };
    const Case cases[] = {
        {"EditAutoAns", "256", "Auto Answer: 0 - 255"},
        {"EditAutoAns", "-1", "Auto Answer: 0 - 255"},
        {"EditAutoAns", "", "Auto Answer: 0 - 255"},
        {"EditAutoAns", "abc", "Auto Answer: 0 - 255"},
        {"EditAutoAns", "2 5", "Auto Answer: 0 - 255"},
        {"EditInBufSize", "4095", "Input Buffer size error"},
        {"EditInBufSize", " ", "Input Buffer size error"},
        {"EditInBufSize", "8k", "Input Buffer size error"},
        {"EditOutBufSize", "4095", "Output Buffer size error"},
        {"EditOutBufSize", "-8192", "Output Buffer size error"},
        {"EditOutBufSize", "99999999999", "Output Buffer size error"},
    };
    for (const Case& c : cases) {
        const auto dialog = Open();
        Edit(*dialog, c.field)->setText(c.text);
        ClickOK(*dialog);
        ExpectRefused(*dialog, c.refusal, c.field);
        EXPECT_EQ(Edit(*dialog, c.field)->text(), c.text) << "the user's input stays";
    }

    const auto dialog = Open();
    Edit(*dialog, "EditAutoAns")->setText(" 255 ");
    Edit(*dialog, "EditInBufSize")->setText("\t4096");
    Edit(*dialog, "EditOutBufSize")->setText("1000000  ");
    ClickOK(*dialog);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(device.fGetAutoAnswer(), 255);
    EXPECT_EQ(device.fGetInBufSize(), 4096);
    EXPECT_EQ(device.fGetOutBufSize(), 1000000);
}

TEST_F(SettingsDialog, XonXoffOfEitherKindShowsOneEntryAndWritesPlainXonXoff)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    device.fSetFlowControl(fcTranXonXoff);
    const auto dialog = Open();
    EXPECT_EQ(List(*dialog, "CbFlow")->currentText(), "Xon/Xoff");
    ClickOK(*dialog);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(device.fGetFlowControl(), fcXonXoff);

    const std::pair<int, TFlowControl> entries[] = {{0, fcNone}, {1, fcRtsCts}, {3, fcRtsCtsXonXoff}};
    for (const auto& [entry, flow] : entries) {
        const auto again = Open();
        List(*again, "CbFlow")->setCurrentIndex(entry);
        ClickOK(*again);
        ASSERT_EQ(again->result(), QDialog::Accepted);
        EXPECT_EQ(device.fGetFlowControl(), flow) << entry;
    }
}

TEST_F(SettingsDialog, EnterWalksTheFieldsAndAppliesFromTheLastOne)
{
    // Nothing is checked on the way: the port is still unselected.
    const auto dialog = Open();
    const char* chain[] = {"CbPort",     "CbSelBaud", "CbParity",    "CbByteSize",   "CbStopBits",
                           "CbFlow",     "EditAutoAns", "EditInBufSize", "EditOutBufSize"};
    Find<QWidget>(*dialog, chain[0])->setFocus();
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        ASSERT_EQ(dialog->focusWidget()->objectName(), chain[i]);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog->focusWidget()->objectName(), chain[i + 1]) << "Enter in " << chain[i];
        EXPECT_TRUE(boxes.Boxes().empty()) << chain[i];
        EXPECT_TRUE(dialog->isVisible());
    }
    // Enter in the last field checks, and here finds no port.
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Enter);
    ExpectRefused(*dialog, "Must select COM Port", "CbPort");

    testsupport::PtyPort com9(9);
    device.fSetPortNo(9);
    const auto valid = Open();
    Edit(*valid, "EditOutBufSize")->setFocus();
    QTest::keyClick(Edit(*valid, "EditOutBufSize"), Qt::Key_Return);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(valid->result(), QDialog::Accepted);
}

TEST_F(SettingsDialog, DefaultChangesOnlyTheControls)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    device.fSetBaud(br300);
    device.fSetParity(ptMarkParity);
    device.fSetByteSize(6);
    device.fSetStopBits(sbOne_5_StopBits);
    device.fSetFlowControl(fcRtsCtsXonXoff);
    device.fSetAutoAnswer(9);
    device.fSetInBufSize(10000);
    device.fSetOutBufSize(20000);
    device.Designing = true;
    const Snapshot before = SnapshotOf(device);
    const auto dialog = Open();
    EXPECT_TRUE(Button(*dialog, "BnDefault")->isVisible());
    QTest::mouseClick(Button(*dialog, "BnDefault"), Qt::LeftButton);

    EXPECT_EQ(List(*dialog, "CbPort")->currentText(), "COM7");
    EXPECT_EQ(List(*dialog, "CbSelBaud")->currentText(), "115200");
    EXPECT_EQ(List(*dialog, "CbParity")->currentIndex(), 0);
    EXPECT_EQ(List(*dialog, "CbByteSize")->currentText(), "8");
    EXPECT_EQ(List(*dialog, "CbStopBits")->currentText(), "1");
    EXPECT_EQ(List(*dialog, "CbFlow")->currentIndex(), 0);
    EXPECT_EQ(Edit(*dialog, "EditAutoAns")->text(), "0");
    EXPECT_EQ(Edit(*dialog, "EditInBufSize")->text(), "8192");
    EXPECT_EQ(Edit(*dialog, "EditOutBufSize")->text(), "8192");
    EXPECT_EQ(SnapshotOf(device), before);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SettingsDialog, CancelEscapeAndTheCloseBoxWriteNothing)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    const Snapshot before = SnapshotOf(device);
    const std::function<void(Settings&)> ways[] = {
        [](Settings& d) { QTest::mouseClick(Button(d, "BnCancel"), Qt::LeftButton); },
        [](Settings& d) { QTest::keyClick(Edit(d, "EditAutoAns"), Qt::Key_Escape); },
        [](Settings& d) { d.close(); },
    };
    for (const auto& leave : ways) {
        const auto dialog = Open();
        List(*dialog, "CbSelBaud")->setCurrentText("300");
        Edit(*dialog, "EditAutoAns")->setText("17");
        leave(*dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(SnapshotOf(device), before);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SettingsDialog, AboutShowsTheComponentsClassName)
{
    device.Designing = true;
    const auto dialog = Open();
    QString aboutTitle;
    boxes.OnNextWindow([](QWidget* w) { return w->objectName() == "Form_LXComm32_About"; },
                       [&](QWidget* w) {
                           aboutTitle = w->windowTitle();
                           QTest::keyClick(w, Qt::Key_Escape);
                       });
    QTest::mouseClick(Button(*dialog, "BnAbout"), Qt::LeftButton);
    EXPECT_EQ(aboutTitle, "About TLxCommDevice...");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SettingsDialog, SettingsDialogTellsOkFromEveryOtherEnd)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    boxes.OnNextWindow([](QWidget* w) { return qobject_cast<Settings*>(w) != nullptr; },
                       [](QWidget* w) { QTest::mouseClick(Button(*w, "BnOK"), Qt::LeftButton); });
    EXPECT_TRUE(device.SettingsDialog(nullptr, false));

    boxes.OnNextWindow([](QWidget* w) { return qobject_cast<Settings*>(w) != nullptr; },
                       [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_FALSE(device.SettingsDialog(nullptr, false));

    // Owned by a window, it opens over that window.
    QWidget owner;
    QWidget* parent = nullptr;
    boxes.OnNextWindow([](QWidget* w) { return qobject_cast<Settings*>(w) != nullptr; },
                       [&](QWidget* w) {
                           parent = w->parentWidget();
                           QTest::mouseClick(Button(*w, "BnCancel"), Qt::LeftButton);
                       });
    EXPECT_FALSE(device.SettingsDialog(&owner, false));
    EXPECT_EQ(parent, &owner);
}

TEST_F(SettingsDialog, OkOpensWhenAskedOrWhenTheComponentWasOpen)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);

    const auto keepClosed = Open(false);
    ClickOK(*keepClosed);
    ASSERT_EQ(keepClosed->result(), QDialog::Accepted);
    EXPECT_FALSE(device.fGetActive());

    const auto openIt = Open(true);
    List(*openIt, "CbSelBaud")->setCurrentText("38400");
    ClickOK(*openIt);
    ASSERT_EQ(openIt->result(), QDialog::Accepted);
    EXPECT_TRUE(device.fGetActive());
    EXPECT_EQ(LineSpeed(com7.SlaveFd()), speed_t(B38400));

    // An open component is closed by the new line settings and opened again
    // with them, even when the caller does not ask for it.
    const auto reopen = Open(false);
    List(*reopen, "CbSelBaud")->setCurrentText("9600");
    ClickOK(*reopen);
    ASSERT_EQ(reopen->result(), QDialog::Accepted);
    EXPECT_TRUE(device.fGetActive());
    EXPECT_EQ(device.fGetBaud(), br9600);
    EXPECT_EQ(LineSpeed(com7.SlaveFd()), speed_t(B9600));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SettingsDialog, AFailedOpenPutsEverySettingBackAndSaysWhy)
{
    // Numbers past the fixed map, so that only the link names them.
    testsupport::PtyPort good(101);
    auto doomed = std::make_unique<testsupport::PtyPort>(102);
    device.fSetPortNo(101);
    device.fSetBaud(br19200);
    device.fSetAutoAnswer(2);
    device.fSetInBufSize(9000);
    device.fSetActive(true);
    const Snapshot before = SnapshotOf(device);

    const auto dialog = Open(false);
    List(*dialog, "CbPort")->setCurrentText("COM102");
    List(*dialog, "CbSelBaud")->setCurrentText("57600");
    Edit(*dialog, "EditAutoAns")->setText("5");
    Edit(*dialog, "EditInBufSize")->setText("16384");
    doomed->Unlink();   // the port goes away while the dialog is open
    ClickOK(*dialog);

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const dialogtest::ShownBox& box = boxes.Boxes().front();
    EXPECT_TRUE(box.Text.startsWith(LangQString(EComm32Error(EComm32Error::ecOpenPort).Message())))
        << box.Text.toStdString();
    // The system's reason follows on a line of its own, naming the port.
    EXPECT_TRUE(box.Text.section('\n', 1).contains("COM102")) << box.Text.toStdString();
    EXPECT_EQ(box.Title, dialog->windowTitle());
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    EXPECT_EQ(box.Parent, dialog.get());
    EXPECT_EQ(dialog->focusWidget(), List(*dialog, "CbPort"));
    EXPECT_TRUE(dialog->isVisible());

    EXPECT_EQ(SnapshotOf(device), before);
    EXPECT_EQ(LineSpeed(good.SlaveFd()), speed_t(B19200));
    // The user's choices stay for another try.
    EXPECT_EQ(List(*dialog, "CbPort")->currentText(), "COM102");
    EXPECT_EQ(List(*dialog, "CbSelBaud")->currentText(), "57600");
    EXPECT_EQ(Edit(*dialog, "EditInBufSize")->text(), "16384");

    // A closed component stays closed after the failure.
    device.fSetActive(false);
    testsupport::PtyPort alsoDoomed(103);
    const auto closed = Open(true);
    List(*closed, "CbPort")->setCurrentText("COM103");
    alsoDoomed.Unlink();
    boxes.Clear();
    ClickOK(*closed);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_FALSE(device.fGetActive());
    EXPECT_EQ(device.fGetPortNo(), 101);
}
