#include "Unit1.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "Application.h"
#include "ControllerFrame.h"
#include "Exception.h"
#include "FailureText.h"
#include "Lxcommdevice.h"
#include "ParseHexBytes.h"
#include "ServiceFrame.h"
#include "Unit2.h"

using namespace OrvekComm32;

TForm1* Form1 = nullptr;

namespace {

QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const char* const LinkDown = "断开";
const char* const LinkUp = "连接";
constexpr int PollInterval = 50;
constexpr std::size_t ReceiveBufferSize = 4096;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(Text(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption)
{
    auto* label = new QLabel(Text(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text)
{
    auto* edit = new QLineEdit(Text(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

template <typename List = QComboBox>
List* MakeList(QWidget* parent, const char* name, std::initializer_list<const char*> items)
{
    auto* list = new List(parent);
    list->setObjectName(QString::fromLatin1(name));
    for (const char* item : items)
        list->addItem(Text(item));
    return list;
}

// A list whose item positions are codes of the line-settings frame.
template <std::size_t N>
TPickList* MakeCodeList(QWidget* parent, const char* name, const ControllerFrame::TItem (&items)[N])
{
    auto* list = MakeList<TPickList>(parent, name, {});
    for (const ControllerFrame::TItem& item : items)
        list->addItem(Text(item.Label));
    return list;
}

std::vector<std::uint8_t> BytesOfEdit(const QLineEdit* edit)
{
    const QByteArray text = edit->text().toUtf8();
    return ParseHexBytes(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                         ControllerFrame::MaxData);
}

std::int32_t LeadingNumberOfEdit(const QLineEdit* edit)
{
    const QByteArray text = edit->text().toUtf8();
    return LeadingDecimalNumber(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

} // namespace

void TPickList::keyPressEvent(QKeyEvent* event)
{
    // Space opens the drop-down; every other key with a text would search
    // the items and select the match.
    if (event->key() != Qt::Key_Space && !event->text().isEmpty() && event->text().front().isPrint()) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

// --- construction ---

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    _CreateControls();
    _LayOutControls();
    _SetDesignTimeProperties();
    _ConnectHandlers();

    try {
        LxCommDevice1->fSetActive(false);
    } catch (const Exception&) {
        _ReportDeviceFailure(std::current_exception());
    }
    _ApplyPackageSettings();
    Memo1->clear();
    Edit2Number = 400;
    Edit3Number = 1600;
    Edit4Number = 20000;
    LinkRequested = 0;
}

TForm1::~TForm1() = default;

void TForm1::_CreateControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);
    LxCommDevice1 = new TLxCommDevice(this);
    LxCommDevice1->setObjectName(QStringLiteral("LxCommDevice1"));
    Edit1 = MakeEdit(client, "Edit1", ControllerFrame::DefaultSequences[0]);
    ButtonSet = MakeButton(client, "ButtonSet", "串口设置");
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Button1 = MakeButton(client, "Button1", "打开串口");
    Button3 = MakeButton(client, "Button3", "打开发光");
    Button4 = MakeButton(client, "Button4", "读取发光水平");
    Button5 = MakeButton(client, "Button5", "设置发光水平");
    Button6 = MakeButton(client, "Button6", "保存发光水平");
    Button7 = MakeButton(client, "Button7", "置最低发光");
    Button8 = MakeButton(client, "Button8", "传感器自校准");
    Button9 = MakeButton(client, "Button9", "读取传感器");
    Button10 = MakeButton(client, "Button10", "读钱箱物理ID");
    Button11 = MakeButton(client, "Button11", "读软件版本");
    Button12 = MakeButton(client, "Button12", "打开拉力挚");
    Button13 = MakeButton(client, "Button13", "调节结果");
    Button14 = MakeButton(client, "Button14", "传送");
    Button15 = MakeButton(client, "Button15", "断开");
    Button16 = MakeButton(client, "Button16", "恢复发光水平");
    Button17 = MakeButton(client, "Button17", "关闭拉力挚");
    ComboBox1 = MakeList(client, "ComboBox1", {"ALL", "SR01E", "SR02E", "SR03E", "UR04E", "UR03E", "UR02E",
                                               "UR01E", "UR07E", "UR05E", "UR06E", "SR05E", "SR04E"});
    Button18 = MakeButton(client, "Button18", "读序列号");
    Edit2 = MakeEdit(client, "Edit2", ControllerFrame::DefaultSequences[1]);
    Edit3 = MakeEdit(client, "Edit3", ControllerFrame::DefaultSequences[2]);
    Label3 = MakeLabel(client, "Label3", "启动 PPS");
    Label4 = MakeLabel(client, "Label4", "目标 PPS");
    ComboBox2 = MakeCodeList(client, "ComboBox2", ControllerFrame::BaudItems);
    ComboBox3 = MakeCodeList(client, "ComboBox3", ControllerFrame::ParityItems);
    Label5 = MakeLabel(client, "Label5", "方向");
    Label6 = MakeLabel(client, "Label6", "全步/半步");
    Label7 = MakeLabel(client, "Label7", "停止方式");
    Edit4 = MakeEdit(client, "Edit4", ControllerFrame::DefaultSequences[3]);
    Label8 = MakeLabel(client, "Label8", "目标步数");
    ComboBox4 = MakeList(client, "ComboBox4", {"减速停止", "立即停止", "自由停止"});
    Memo1 = new QPlainTextEdit(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Label2 = MakeLabel(client, "Label2", "开");
    Label1 = MakeLabel(client, "Label1", "关");
    Label9 = MakeLabel(client, "Label9", "电脑");
    Label10 = MakeLabel(client, "Label10", "视频");
    Label11 = MakeLabel(client, "Label11", LinkDown);
    Label12 = MakeLabel(client, "Label12", "校验");
    Label13 = MakeLabel(client, "Label13", "波特率");

    // Only the selected item of a line-setting list is ever sent. The baud
    // list shows "4800" without an item being selected: its code stays 0xFF
    // until the operator picks one.
    ComboBox2->setPlaceholderText(QStringLiteral("4800"));
    // Drawn as an item's text would be, as the operator has always seen it.
    QPalette palette = ComboBox2->palette();
    palette.setColor(QPalette::PlaceholderText, palette.color(QPalette::ButtonText));
    ComboBox2->setPalette(palette);
    ComboBox2->setCurrentIndex(-1);
    ComboBox3->setCurrentIndex(2);
    ComboBox1->setCurrentIndex(0);
    ComboBox4->setCurrentIndex(0);
    ComboBox4->setEnabled(false);
    Button14->setEnabled(false);
    Button15->setEnabled(false);
}

void TForm1::_LayOutControls()
{
    setWindowTitle(Text("中控配置下载"));
    setFixedSize(618, 276);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    constexpr int labelX = 16, editX = 72, editWidth = 528, rowHeight = 24;
    const struct {
        QLabel* label;
        QLineEdit* edit;
    } rows[] = {{Label1, Edit1}, {Label2, Edit2}, {Label9, Edit3}, {Label10, Edit4}};
    int y = 16;
    for (const auto& row : rows) {
        row.label->setGeometry(labelX, y, editX - labelX - 8, rowHeight);
        row.edit->setGeometry(editX, y, editWidth, rowHeight);
        y += 36;
    }
    Label12->setGeometry(labelX, y, 48, rowHeight);
    ComboBox3->setGeometry(editX, y, 80, rowHeight);
    Label13->setGeometry(176, y, 56, rowHeight);
    ComboBox2->setGeometry(236, y, 100, rowHeight);
    Label11->setGeometry(380, y, 80, rowHeight);
    y += 48;
    int x = editX;
    for (QPushButton* button : {ButtonSet, Button1, Button14, Button15}) {
        button->setGeometry(x, y, 110, 30);
        x += 130;
    }

    for (QWidget* hidden : std::initializer_list<QWidget*>{
             Label3, Label4, Label5, Label6, Label7, Label8, Button3, Button4, Button5, Button6, Button7, Button8,
             Button9, Button10, Button11, Button12, Button13, Button16, Button17, Button18, ComboBox1, ComboBox4,
             Memo1})
        hidden->hide();

    QWidget::setTabOrder(Edit1, ButtonSet);
    QWidget::setTabOrder(ButtonSet, Button1);
    QWidget::setTabOrder(Button1, Button14);
    QWidget::setTabOrder(Button14, Button15);
    QWidget::setTabOrder(Button15, Edit2);
    QWidget::setTabOrder(Edit2, Edit3);
    QWidget::setTabOrder(Edit3, ComboBox2);
    QWidget::setTabOrder(ComboBox2, ComboBox3);
    QWidget::setTabOrder(ComboBox3, Edit4);
}

// What the form description stores for the component and the timer.
void TForm1::_SetDesignTimeProperties()
{
    LxCommDevice1->fSetPortNo(1);
    LxCommDevice1->fSetBaud(br38400);
    LxCommDevice1->fSetByteSize(8);
    LxCommDevice1->fSetInBufSize(8192);
    LxCommDevice1->fSetOutBufSize(8192);
    LxCommDevice1->fSetHwInSize(1200);
    LxCommDevice1->fSetHwOutSize(1200);
    LxCommDevice1->fSetQueueSize(16);
    LxCommDevice1->fSetPackageSize(4096);
    LxCommDevice1->fSetPackageType(cptFrameTimeout);
    TLxCommFrameSettings* frame = LxCommDevice1->fGetFrameSettings();
    frame->fSetFrameHead(0x00);
    frame->fSetFrameTail(0x00);
    frame->fSetFrameCtrl(0x00);
    Timer1->setInterval(PollInterval);
    Timer1->start();
}

void TForm1::_ConnectHandlers()
{
    connect(ButtonSet, &QPushButton::clicked, this, &TForm1::ButtonSetClick);
    // Queued, so that each tick's poll runs after the timer's own delivery
    // has returned: a timer is not delivered again while its delivery is on
    // the stack, and the poll must go on nested under "发送完毕".
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer, Qt::QueuedConnection);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
    connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);
    connect(Button13, &QPushButton::clicked, this, &TForm1::Button13Click);
    connect(Button14, &QPushButton::clicked, this, &TForm1::Button14Click);
    connect(Button15, &QPushButton::clicked, this, &TForm1::Button15Click);
    connect(Button16, &QPushButton::clicked, this, &TForm1::Button16Click);
    connect(Button17, &QPushButton::clicked, this, &TForm1::Button17Click);
    connect(Button18, &QPushButton::clicked, this, &TForm1::Button18Click);
    connect(Edit2, &QLineEdit::textChanged, this, &TForm1::Edit2Change);
    connect(Edit3, &QLineEdit::textChanged, this, &TForm1::Edit3Change);
    connect(Edit4, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    LxCommDevice1->OnCommNotify = Bind(this, &TForm1::LxCommDevice1CommNotify);
}

// Setting the size or type of an open layer empties its queues even when the
// value stays the same, and after a press that would throw away an answer to
// the connect request already being received: only a changed value is set.
void TForm1::_ApplyPackageSettings()
{
    if (LxCommDevice1->fGetPackageSize() != 4096)
        LxCommDevice1->fSetPackageSize(4096);
    if (LxCommDevice1->fGetPackageType() != cptFrameTimeout)
        LxCommDevice1->fSetPackageType(cptFrameTimeout);
    LxCommDevice1->fSetUsePackage(true);
}

// The message, then the settings dialog; cancelling it ends the tool.
void TForm1::_ReportDeviceFailure(const std::exception_ptr& error)
{
    Application::ShowMessage(QStringLiteral("LxCommDevice1: ") + FailureText(error));
    if (!LxCommDevice1->SettingsDialog(this, true))
        Application::Terminate();
}

// --- the port ---

void TForm1::ButtonSetClick()
{
    LxCommDevice1->SettingsDialog(this, true);
}

void TForm1::Button1Click()
{
    try {
        if (!LxCommDevice1->fGetActive()) {
            LxCommDevice1->fSetActive(true);
            Application::ShowMessage(Text("打开成功"));
            Button1->setText(Text("关闭串口"));
            LinkRequested = 1;
            _WriteFrame(ControllerFrame::Build(ControllerFrame::Connect));
        } else {
            LxCommDevice1->fSetActive(false);
            Application::ShowMessage(Text("关闭成功"));
            Button1->setText(Text("打开串口"));
        }
    } catch (const Exception&) {
        _ReportDeviceFailure(std::current_exception());
    }
    _ApplyPackageSettings();
}

// A USB adapter pulled out hangs up its port. Closing it at once releases
// the device, so that the adapter plugged back gets its old name; the
// operator then sees the failure and the settings dialog, whose list shows
// what is plugged in now. A loss reported for an earlier open finds the
// port fine (or closed) and is let go.
void TForm1::LxCommDevice1CommNotify(TObject*, int NotifyType)
{
    if (!(NotifyType & EV_PORTLOST))
        return;
    const std::optional<EComm32Error> loss = LxCommDevice1->fGetPortLoss();
    if (!loss || !LxCommDevice1->fGetActive())
        return;
    try {
        LxCommDevice1->fSetActive(false);
    } catch (const Exception&) {
        // The threads of a gone port may not end in time; the port is
        // closed all the same, and the loss is what the operator must hear.
    }
    Button1->setText(Text("打开串口"));
    _ReportDeviceFailure(std::make_exception_ptr(*loss));
    _ApplyPackageSettings();
}

// --- the controller link ---

void TForm1::_WriteFrame(const std::vector<std::uint8_t>& frame)
{
    LxCommDevice1->WritePackage(frame.data(), static_cast<unsigned long>(frame.size()));
}

void TForm1::Timer1Timer()
{
    std::uint8_t package[ReceiveBufferSize];
    for (;;) {
        const unsigned long length = LxCommDevice1->ReadPackage(package, sizeof package);
        if (length < 1)
            return;
        const auto code = ControllerFrame::ReceivedCode(std::span(package, length));
        if (code == ControllerFrame::Disconnect) {
            LinkRequested = 0;
            Label11->setText(Text(LinkDown));
            return;  // later packages wait for the next tick
        }
        if (code)
            _ActOnCode(*code);
        _ResendLinkRequest();
    }
}

void TForm1::_ActOnCode(std::uint8_t code)
{
    switch (code) {
    case ControllerFrame::Connect:
        Label11->setText(Text(LinkUp));
        Button14->setEnabled(true);
        Button15->setEnabled(true);
        break;
    case ControllerFrame::OffSequence:
    case ControllerFrame::OnSequence:
    case ControllerFrame::ComputerSequence:
        SendSequenceFrame(code + 1);
        break;
    case ControllerFrame::VideoSequence:
        _WriteFrame(ControllerFrame::BuildLineSettings(ComboBox3->currentIndex(), ComboBox2->currentIndex()));
        break;
    case ControllerFrame::LineSettings:
        // Modal: polls go on nested inside this one until it is closed.
        Application::ShowMessage(Text("发送完毕"));
        break;
    default:
        break;
    }
}

void TForm1::_ResendLinkRequest()
{
    const QString label = Label11->text();
    if (label == Text(LinkDown) && LinkRequested == 1)
        _WriteFrame(ControllerFrame::Build(ControllerFrame::Connect));
    if (label == Text(LinkUp) && LinkRequested == 0)
        _WriteFrame(ControllerFrame::Build(ControllerFrame::Disconnect));
}

void TForm1::SendSequenceFrame(int code)
{
    QLineEdit* const edits[] = {Edit1, Edit2, Edit3, Edit4};
    const QLineEdit* edit = edits[code - ControllerFrame::OffSequence];
    _WriteFrame(ControllerFrame::Build(static_cast<std::uint8_t>(code), BytesOfEdit(edit)));
}

void TForm1::Button14Click()
{
    SendSequenceFrame(ControllerFrame::OffSequence);
}

void TForm1::Button15Click()
{
    LinkRequested = 0;
    _WriteFrame(ControllerFrame::Build(ControllerFrame::Disconnect));
}

// --- the change checks ---

void TForm1::_CheckPortNumberEdit(QLineEdit* edit, std::int32_t& accepted)
{
    const std::int32_t number = LeadingNumberOfEdit(edit);
    if (number >= 0 && number <= 65535) {
        accepted = number;
        return;
    }
    edit->setText(QString::number(accepted));  // checked again, and accepted
    Application::ShowMessage(Text("参数设置错误"));
}

void TForm1::Edit2Change()
{
    _CheckPortNumberEdit(Edit2, Edit2Number);
}

void TForm1::Edit3Change()
{
    _CheckPortNumberEdit(Edit3, Edit3Number);
}

void TForm1::Edit4Change()
{
    const std::int32_t number = LeadingNumberOfEdit(Edit4);
    if (number < 0) {
        Edit4->setText(QString::number(Edit4Number));
        Application::ShowMessage(Text("参数设置错误"));
        return;
    }
    Edit4Number = number;
    ComboBox4->setEnabled(number == 0);
    if (number != 0)
        ComboBox4->setCurrentIndex(0);
}

// --- the sensor service commands ---

void TForm1::SendServiceCommand(const unsigned char* Cmd, int Count)
{
    if (!LxCommDevice1->fGetActive()) {
        Application::ShowMessage(Text("串口未打开"));
        return;
    }
    const std::vector<std::uint8_t> frame = BuildServiceFrame(Cmd, Count);
    if (frame.empty())
        return;
    Edit1->setText(QString::fromStdString(FrameText(frame)));
    _WriteFrame(frame);
}

void TForm1::_SendService(std::initializer_list<unsigned char> command)
{
    SendServiceCommand(command.begin(), static_cast<int>(command.size()));
}

TForm2* TForm1::CreateSensorDialog()
{
    auto* dialog = new TForm2(ChannelLevels, [this](const std::uint8_t* Cmd, int Count) {
        SendServiceCommand(Cmd, Count);
    });
    Application::OwnForm(dialog);
    return dialog;
}

void TForm1::Button3Click() { _SendService({0xA1, 0x01}); }
void TForm1::Button4Click() { _SendService({0xA2}); }

void TForm1::Button5Click()
{
    Form2 = CreateSensorDialog();
    Form2->exec();
}

void TForm1::Button6Click() { _SendService({0xA4}); }
void TForm1::Button7Click() { _SendService({0xA5, 0x00}); }

void TForm1::Button8Click()
{
    const int index = ComboBox1->currentIndex();
    if (index > 12) {
        Application::ShowMessage(Text("DAC序号错误"));
        return;
    }
    _SendService({0xA6, static_cast<unsigned char>(index)});
}

void TForm1::Button9Click() { _SendService({0xA7}); }
void TForm1::Button10Click() { _SendService({0xAB}); }
void TForm1::Button11Click() { _SendService({0xB1}); }
void TForm1::Button12Click() { _SendService({0xB2, 0x01}); }
void TForm1::Button13Click() { _SendService({0xF0}); }
void TForm1::Button16Click() { _SendService({0xA5, 0x01}); }
void TForm1::Button17Click() { _SendService({0xB2, 0x00}); }
void TForm1::Button18Click() { _SendService({0xAC}); }
