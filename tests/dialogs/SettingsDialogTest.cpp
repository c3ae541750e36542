// The port settings dialog: the checks below the widget as a table, and
// against a real component what it shows, the Enter chain, what OK writes
// and opens, and the restore after a failed open.
#include "Unit_lxcommdevice_settings.h"

#include <QComboBox>
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
#include "ModalAnswers.h"
#include "PortComboBox.h"
#include "PtyPort.h"
#include "TCommSerialPortInfo.h"
#include "Unit_lxcomm32_about.h"

using namespace OrvekComm32;
using namespace TOrvekFuncs;
using Settings = TForm_LxCommDevice_Settings;
using testsupport::AppLangAs;

namespace {

using testsupport::Find;

QComboBox* List(const QWidget& dialog, const char* name) { return Find<QComboBox>(dialog, name); }
QLineEdit* Edit(const QWidget& dialog, const char* name) { return Find<QLineEdit>(dialog, name); }
QPushButton* Button(const QWidget& dialog, const char* name) { return Find<QPushButton>(dialog, name); }

// The settings the dialog edits, as the component reads them.
struct Snapshot {
    Settings::TSettings Line;
    bool Active;
    bool operator==(const Snapshot&) const = default;
};

Snapshot SnapshotOf(const TLxCustomCommDevice& device)
{
    return {{device.fGetPortNo(), device.fGetBaud(), device.fGetParity(), device.fGetByteSize(),
             device.fGetStopBits(), device.fGetFlowControl(), device.fGetAutoAnswer(), device.fGetInBufSize(),
             device.fGetOutBufSize()},
            device.fGetActive()};
}

// What the nine controls show, in the dialog's order.
QStringList Shown(const QWidget& dialog)
{
    QStringList shown;
    for (const char* name : {"CbPort", "CbSelBaud", "CbParity", "CbByteSize", "CbStopBits", "CbFlow"})
        shown << List(dialog, name)->currentText();
    for (const char* name : {"EditAutoAns", "EditInBufSize", "EditOutBufSize"})
        shown << Edit(dialog, name)->text();
    return shown;
}

// No traditional text loses a character on its way to Big5.
TEST(SettingsTexts, TraditionalTextsSurviveBig5AndIntegersAreWholeDecimals)
{
    AppLangAs big5(ltBig5);
    for (const TLangTextSet* set : {&Settings::TextSet(), &TForm_LXComm32_About::TextSet()}) {
        for (std::size_t i = 0; i < set->Count(); ++i)
            EXPECT_EQ(CharsetToUtf8(LangText(*set, i), 136), CharsetToUtf8(set->Entry(ltBig5, i), 134)) << i;
    }

    struct Case { const char* text; std::optional<int> value; };
    for (const Case& c : {Case{"255", 255}, Case{"-1", -1}, Case{"+7", 7}, Case{"  4096\t", 4096},
                          Case{"\x01" "12\n", 12}, Case{"-2147483648", -2147483647 - 1},
                          Case{"2147483648", std::nullopt}, Case{"", std::nullopt}, Case{"-", std::nullopt},
                          Case{"12a", std::nullopt}, Case{"1 2", std::nullopt}, Case{"0x10", std::nullopt},
                          Case{"１２", std::nullopt}})  // digits of another script
        EXPECT_EQ(Settings::IntegerOf(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';
}

// A refused entry names its field and message, the first refused field
// winning; blanks around numbers are ignored.
TEST(CheckEntries, RefusesEachFieldWithItsMessageInOrder)
{
    const Settings::TEntries valid{"COM7", br38400, ptEvenParity, 2, sbTwoStopBit, 3, " 255 ", "\t4096", "1000000 "};
    EXPECT_EQ(std::get<Settings::TSettings>(Settings::CheckEntries(valid)),
              (Settings::TSettings{7, br38400, ptEvenParity, 7, sbTwoStopBit, fcRtsCtsXonXoff, 255, 4096, 1000000}));

    using E = Settings::TEntries;
    struct Case { std::function<void(E&)> spoil; Settings::TField field; Settings::TextIndex message; };
    const Case cases[] = {
        {[](E& e) { e.Port.clear(); }, Settings::fdPort, Settings::txtMustSelectPort},
        {[](E& e) { e.Baud = -1; }, Settings::fdBaud, Settings::txtMustSelectBaud},
        {[](E& e) { e.Baud = br256000 + 1; }, Settings::fdBaud, Settings::txtMustSelectBaud},
        {[](E& e) { e.ByteSize = 4; }, Settings::fdByteSize, Settings::txtMustSelectByteSize},
        {[](E& e) { e.Parity = -1; }, Settings::fdParity, Settings::txtMustSelectParity},
        {[](E& e) { e.StopBits = 3; }, Settings::fdStopBits, Settings::txtMustSelectStopBits},
        {[](E& e) { e.Flow = 4; }, Settings::fdFlow, Settings::txtMustSelectFlow},
        {[](E& e) { e.AutoAnswer = "256"; }, Settings::fdAutoAnswer, Settings::txtAutoAnswerRange},
        {[](E& e) { e.AutoAnswer = "-1"; }, Settings::fdAutoAnswer, Settings::txtAutoAnswerRange},
        {[](E& e) { e.AutoAnswer = "abc"; }, Settings::fdAutoAnswer, Settings::txtAutoAnswerRange},
        {[](E& e) { e.InBufSize = "4095"; }, Settings::fdInBufSize, Settings::txtInBufSizeError},
        {[](E& e) { e.InBufSize = " "; }, Settings::fdInBufSize, Settings::txtInBufSizeError},
        {[](E& e) { e.OutBufSize = "-8192"; }, Settings::fdOutBufSize, Settings::txtOutBufSizeError},
        {[](E& e) { e.OutBufSize = "99999999999"; }, Settings::fdOutBufSize, Settings::txtOutBufSizeError},
    };
    // Case i spoils its own field and every later one: the first is named.
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        E entries = valid;
        for (std::size_t j = i; j < std::size(cases); ++j)
            cases[j].spoil(entries);
        EXPECT_EQ(std::get<Settings::TRefusal>(Settings::CheckEntries(entries)),
                  (Settings::TRefusal{cases[i].field, cases[i].message})) << "case " << i;
    }
}

// Each test gets a link directory of its own, so that the port list holds
// exactly the ptys it registers (and whatever real ports the machine has).
class SettingsDialog : public ::testing::Test {
protected:
    // The component starts on a port number the enumeration does not list.
    SettingsDialog()
    {
        const TCommSerialPortInfo ports;
        int number = 200;
        for (int i = 0; i < ports.PortList->Count(); ++i)
            number = std::max(number, TCommSerialPortInfo::PortNo(ports.PortList->Strings(i)) + 1);
        device.fSetPortNo(number);
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

    // Expects exactly one error box starting with `text`, titled with the
    // caption, with the focus left on `control` and the dialog still open.
    void ExpectRefused(const Settings& dialog, const QString& text, const char* control)
    {
        ASSERT_EQ(boxes.Boxes().size(), 1u) << text.toStdString();
        const testsupport::ShownBox& box = boxes.Boxes().front();
        EXPECT_TRUE(box.Text.startsWith(text)) << box.Text.toStdString();
        EXPECT_EQ(box.Title, dialog.windowTitle());
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        EXPECT_EQ(box.Parent, &dialog);
        EXPECT_EQ(dialog.focusWidget(), dialog.findChild<QWidget*>(control)) << control;
        EXPECT_TRUE(dialog.isVisible());
        boxes.Clear();
    }

    AppLangAs english{ltEnglish};
    testsupport::PortDirectory portDirectory;
    testsupport::ModalAnswers boxes;
    TLxCommDevice device;
};

} // namespace

TEST_F(SettingsDialog, TextsInEachLanguageFitBesideTheirFields)
{
    struct Language { TLangType type; const char* caption; };
    for (const Language& language : {Language{ltEnglish, "COM port Setup"}, Language{ltGbk, "端口设置"},
                                     Language{ltBig5, "序列埠設置"}}) {
        AppLangAs as(language.type);
        const Settings dialog(nullptr, &device, false);
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(language.caption));
        // No label runs under its field, whatever face stands in.
        for (const char* name : {"lbPort", "lbBaud", "lbCheck", "lbBits", "lbStops", "lbFlow", "lbAAns", "lbInbs",
                                 "lbOutbs"})
            EXPECT_LT(Find<QLabel>(dialog, name)->geometry().right(), 64) << name << ' ' << int(language.type);
    }
}

TEST_F(SettingsDialog, ShowsTheComponentsSettingsAndDefaultResetsOnlyTheControls)
{
    testsupport::PtyPort com7(7), com12(12);
    device.fSetPortNo(12);
    device.fSetBaud(br9600);
    device.fSetParity(ptEvenParity);
    device.fSetByteSize(7);
    device.fSetStopBits(sbTwoStopBit);
    device.fSetFlowControl(fcTranXonXoff);   // shares the Xon/Xoff entry
    device.fSetAutoAnswer(3);
    device.fSetInBufSize(9000);
    device.fSetOutBufSize(70000);
    const auto dialog = Open();
    EXPECT_EQ(Shown(*dialog), QStringList({"COM12", "9600", "Even", "7", "2", "Xon/Xoff", "3", "9000", "70000"}));
    const QComboBox* ports = List(*dialog, "CbPort");
    EXPECT_EQ(ports->itemData(ports->findText("COM7"), Qt::ToolTipRole).toString(),
              QString::fromStdString(com7.SlavePath()));
    EXPECT_EQ(ports->toolTip(), QString::fromStdString(com12.SlavePath()));
    // Beside the name, the device it opens ("pts/N" under /dev).
    EXPECT_EQ(static_cast<const TPortComboBox*>(ports)->ShownText(ports->currentIndex()),
              "COM12 \u2014 " + QString::fromStdString(com12.SlavePath()).mid(5));
    EXPECT_FALSE(Button(*dialog, "BnAbout")->isVisible());
    EXPECT_FALSE(Button(*dialog, "BnDefault")->isVisible());

    // At design time Default resets the controls, all but the port, and
    // leaves the component alone until OK.
    device.Designing = true;
    const Snapshot before = SnapshotOf(device);
    const auto designed = Open();
    QTest::mouseClick(Button(*designed, "BnDefault"), Qt::LeftButton);
    EXPECT_EQ(Shown(*designed), QStringList({"COM12", "115200", "No parity", "8", "1", "None", "0", "8192", "8192"}));
    EXPECT_EQ(SnapshotOf(device), before);
    EXPECT_TRUE(designed->isVisible());

    // A byte size the list does not offer leaves it without a selection.
    device.fSetByteSize(4);
    EXPECT_EQ(List(Settings(nullptr, &device, false), "CbByteSize")->currentIndex(), -1);
}

// Ports that come and go while the dialog is open show in its list at once;
// the pick stays while its port is there.
TEST_F(SettingsDialog, PortListFollowsPortsThatComeAndGo)
{
    const auto dialog = Open();
    QComboBox* ports = List(*dialog, "CbPort");
    auto com9 = std::make_unique<testsupport::PtyPort>(9);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ports->findText("COM9") >= 0; }));
    ports->setCurrentIndex(ports->findText("COM9"));
    testsupport::PtyPort com8(8);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ports->findText("COM8") >= 0; }));
    EXPECT_EQ(ports->currentText(), "COM9");
    com9.reset();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ports->findText("COM9") < 0; }));
}

// Enter walks the fields without checking; in the last one it checks (here
// finding no port, the configured one being unlisted), and a pick mends it.
TEST_F(SettingsDialog, EnterWalksTheFieldsAndAppliesFromTheLastOne)
{
    testsupport::PtyPort com7(7);
    device.fSetFlowControl(fcTranXonXoff);
    const Snapshot before = SnapshotOf(device);
    const auto dialog = Open();
    const char* chain[] = {"CbPort", "CbSelBaud", "CbParity", "CbByteSize", "CbStopBits",
                           "CbFlow", "EditAutoAns", "EditInBufSize", "EditOutBufSize"};
    Find(*dialog, chain[0])->setFocus();
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        EXPECT_EQ(dialog->focusWidget()->objectName(), chain[i + 1]) << "Enter in " << chain[i];
    }
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Enter);
    ExpectRefused(*dialog, "Must select COM Port", "CbPort");
    EXPECT_EQ(SnapshotOf(device), before);

    List(*dialog, "CbPort")->setCurrentText("COM7");
    Edit(*dialog, "EditOutBufSize")->setFocus();
    QTest::keyClick(Edit(*dialog, "EditOutBufSize"), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(device.fGetPortNo(), 7);
    EXPECT_EQ(device.fGetFlowControl(), fcXonXoff);
}

// SettingsDialog opens the dialog over its owner and returns true for OK
// only; Cancel, Escape and the close box write nothing. The About button
// shows the component's class name.
TEST_F(SettingsDialog, OnlyOkWritesAndReturnsTrue)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    device.Designing = true;
    const Snapshot before = SnapshotOf(device);
    auto isSettings = [](QWidget* w) { return qobject_cast<Settings*>(w) != nullptr; };
    const std::function<void(Settings&)> ways[] = {
        [](Settings& d) { QTest::mouseClick(Button(d, "BnCancel"), Qt::LeftButton); },
        [](Settings& d) { QTest::keyClick(Edit(d, "EditAutoAns"), Qt::Key_Escape); },
        [](Settings& d) { d.close(); },
    };
    QWidget owner;
    for (const auto& leave : ways) {
        QWidget* parent = nullptr;
        boxes.OnNextWindow(isSettings, [&](QWidget* w) {
            parent = w->parentWidget();
            List(*w, "CbSelBaud")->setCurrentText("300");
            Edit(*w, "EditAutoAns")->setText("17");
            leave(*static_cast<Settings*>(w));
        });
        EXPECT_FALSE(device.SettingsDialog(&owner, false));
        EXPECT_EQ(parent, &owner);
        EXPECT_EQ(SnapshotOf(device), before);
    }

    QString aboutTitle;
    boxes.OnNextWindow(isSettings, [](QWidget* w) {
        QTest::mouseClick(Button(*w, "BnAbout"), Qt::LeftButton);  // returns once the about box is closed
        List(*w, "CbSelBaud")->setCurrentText("300");
        ClickOK(*static_cast<Settings*>(w));
    });
    boxes.OnNextWindow([](QWidget* w) { return w->objectName() == "Form_LXComm32_About"; },
                       [&](QWidget* w) {
                           aboutTitle = w->windowTitle();
                           QTest::keyClick(w, Qt::Key_Escape);
                       });
    EXPECT_TRUE(device.SettingsDialog(nullptr, false));
    EXPECT_EQ(aboutTitle, "About TLxCommDevice...");
    EXPECT_EQ(device.fGetBaud(), br300);
}

TEST_F(SettingsDialog, OkOpensWhenAskedOrWhenTheComponentWasOpen)
{
    testsupport::PtyPort com7(7);
    device.fSetPortNo(7);
    struct Step { bool openOnOK; const char* baud; bool active; };
    // The last: an open component is closed by the new line settings and
    // opened again with them, though the caller does not ask for it.
    for (const Step& step : {Step{false, "300", false}, Step{true, "38400", true}, Step{false, "9600", true}}) {
        const auto dialog = Open(step.openOnOK);
        List(*dialog, "CbSelBaud")->setCurrentText(step.baud);
        ClickOK(*dialog);
        ASSERT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(device.fGetActive(), step.active) << step.baud;
        if (step.active) {
            EXPECT_EQ(com7.Baud(), std::stoi(step.baud));
        }
    }
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
    Edit(*dialog, "EditInBufSize")->setText("16384");
    doomed->Unlink();   // the port goes away while the dialog is open
    ClickOK(*dialog);
    // The system's reason follows on a line of its own, naming the port.
    EXPECT_TRUE(boxes.Texts().value(0).section('\n', 1).contains("COM102"));
    ExpectRefused(*dialog, LangQString(EComm32Error(EComm32Error::ecOpenPort).Message()), "CbPort");
    EXPECT_EQ(SnapshotOf(device), before);
    EXPECT_EQ(good.Baud(), 19200);
    // The user's choices stay for another try.
    EXPECT_EQ(List(*dialog, "CbSelBaud")->currentText(), "57600");
    EXPECT_EQ(Edit(*dialog, "EditInBufSize")->text(), "16384");

    // A closed component stays closed after the failure.
    device.fSetActive(false);
    testsupport::PtyPort alsoDoomed(103);
    const auto closed = Open(true);
    List(*closed, "CbPort")->setCurrentText("COM103");
    alsoDoomed.Unlink();
    ClickOK(*closed);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_FALSE(device.fGetActive());
    EXPECT_EQ(device.fGetPortNo(), 101);
}
