#include "Unit_lxcommdevice_settings.h"

#include <algorithm>
#include <array>
#include <climits>
#include <functional>

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>

#include "ButtonGlyphs.h"
#include "FailureText.h"
#include "LangQt.h"
#include "MessageBox.h"
#include "PortComboBox.h"
#include "TCommPortWatch.h"
#include "TCommSerialPortInfo.h"
#include "Unit_lxcomm32_about.h"

using namespace OrvekComm32;
using namespace TOrvekFuncs;
using Settings = TForm_LxCommDevice_Settings;

namespace {

constexpr int ClientWidth = 393;
constexpr int ClientHeight = 228;
constexpr int FieldLeft = 64;
constexpr int FieldWidth = 105;
constexpr int EditHeight = 21;
constexpr int LabelGap = 2;      // pixels kept between a label and its field
constexpr int MinStretch = 75;   // the narrowest letters a label is set in
constexpr int StretchStep = 5;
// How far the centres of OK and Cancel sit from the centre line when the
// other two buttons are hidden.
constexpr int ProgramButtonOffset = 60;

constexpr int MinAutoAnswer = 0;
constexpr int MaxAutoAnswer = 255;
constexpr int MinBufSize = 4096;
constexpr int DefaultBufSize = 8192;

const char* const ByteSizeTexts[] = {"5", "6", "7", "8"};
const char* const StopBitsTexts[] = {"1", "1.5", "2"};
constexpr int FirstByteSize = 5;

constexpr Settings::TextIndex ParityTexts[] = {Settings::txtNoParity, Settings::txtOddParity, Settings::txtEvenParity,
                                               Settings::txtMarkParity, Settings::txtSpaceParity};
constexpr Settings::TextIndex FlowTexts[] = {Settings::txtFlowNone, Settings::txtFlowRtsCts, Settings::txtFlowXonXoff,
                                             Settings::txtFlowRtsCtsXonXoff};
// The flow list's entries in order; fcTranXonXoff has none of its own.
constexpr TFlowControl FlowOfEntry[] = {fcNone, fcRtsCts, fcXonXoff, fcRtsCtsXonXoff};

QString TextOf(Settings::TextIndex index)
{
    return LangQText(Settings::TextSet(), index);
}

QLabel* NewLabel(QWidget* parent, const char* name, int left, int top)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->move(left, top);
    return label;
}

QComboBox* NewList(QWidget* parent, const char* name, int top)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->setGeometry(FieldLeft, top, FieldWidth, list->sizeHint().height());
    return list;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(FieldLeft, top, FieldWidth, EditHeight);
    return edit;
}

QGroupBox* NewGroup(QWidget* parent, const char* name, QRect geometry)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(name);
    group->setGeometry(geometry);
    return group;
}

QPushButton* NewButton(QWidget* parent, const char* name, int left, const QIcon& glyph)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setGeometry(left, 200, 75, 25);
    button->setCursor(Qt::PointingHandCursor);
    button->setIcon(glyph);
    button->setIconSize(QSize(18, 16));
    return button;
}

// Selects entry `index` when the list has it, otherwise nothing.
void SelectEntry(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

QString PortToolTip(const TCommPortEntry& entry)
{
    // The fallback names carry no device; show where the name would lead.
    std::string device = entry.DevicePath;
    if (device.empty())
        device = TCommSerialPortInfo::DevicePathOf(entry.Name);
    QString tip = QString::fromStdString(device);
    if (!entry.Description.empty())
        tip += (tip.isEmpty() ? "" : "\n") + QString::fromStdString(entry.Description);
    return tip;
}

} // namespace

const TLangTextSet& TForm_LxCommDevice_Settings::TextSet()
{
    static const TLangTextSet texts(
        {"确定", "取消", "端口设置", "端口", "波特率", "奇偶校验", "数据位", "停止位", "数据流控",
         "No parity (无)", "Odd (奇)", "Even (偶)", "Mark (标记)", "None (无)", "RTS/CTS (硬件)",
         "Xon/Xoff (软件)", "RTS/CTS & Xon/Xoff (硬&软)", "必须选择端口", "必须输入/选择波特率",
         "无效的波特率", "必须选择数据位", "必须选择奇偶校验", "必须选择停止位", "必须选择数据流控制", "关于",
         "默认", "端口选项", "调制解调器选项", "缓存容量", "自动应答", "输入缓存", "输出缓存",
         "自动应答必须是 0 - 255 的整数", "输入缓存容量错误", "输出缓存容量错误", "Space (空格)"},
        {"確定", "取消", "序列埠設置", "序 列 埠", "傳輸速率", "奇偶校驗", "資料位元", "停止位元", "資料流控",
         "No parity (無)", "Odd (奇)", "Even (偶)", "Mark (標記)", "None (無)", "RTS/CTS (硬體)",
         "Xon/Xoff (軟體)", "RTS/CTS & Xon/Xoff (硬&軟)", "必須選擇序列埠", "必須輸入/選擇序列傳輸速率",
         "無效的序列傳輸速率", "必須選擇資料位元", "必須選擇奇偶校驗", "必須選擇停止位元", "必須選擇資料流程控制",
         "關於", "默認", "埠選項", "數據機選項", "緩存容量", "自動回應", "輸入緩存", "輸出緩存",
         "自動回應必須是 0 - 255 的整數", "輸入緩存容量錯誤", "輸出緩存容量錯誤", "Space (空白)"},
        {"&OK", "&Cancel", "COM port Setup", "COM port", "Baud", "Parity", "Byte Size", "Stop Bits", "Flow Control",
         "No parity", "Odd", "Even", "Mark", "None", "RTS/CTS", "Xon/Xoff", "RTS/CTS & Xon/Xoff",
         "Must select COM Port", "Must select baud rate", "Invalid baud rate", "Must select byte size",
         "Must select parity check", "Must select stop bits", "Must select flow control", "&About", "&Default",
         "Port", "Modem", "Buffer", "Auto Answer", "Input Buf.", "Output Buf.", "Auto Answer: 0 - 255",
         "Input Buffer size error", "Output Buffer size error", "Space Parity"});
    return texts;
}

std::optional<int> TForm_LxCommDevice_Settings::IntegerOf(const QString& text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text[first].unicode() <= ' ')
        ++first;
    while (end > first && text[end - 1].unicode() <= ' ')
        --end;
    qsizetype i = first;
    const bool negative = i < end && text[i] == '-';
    if (i < end && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i == end)
        return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

TForm_LxCommDevice_Settings::TForm_LxCommDevice_Settings(QWidget* AOwner, TLxCustomCommDevice* Device,
                                                         bool OpenOnOK)
    : QDialog(AOwner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Device(Device), OpenOnOK(OpenOnOK)
{
    setObjectName("Form_LxCommDevice_Settings");
    setFont(LangDialogFont());
    setFixedSize(ClientWidth, ClientHeight);
    _CreateControls();
    _SetTabOrder();
    _ShowTexts();
    _ListPorts();
    _WatchPorts();
    _ListChoices();
    _CentreButtonsForProgram();
    _ShowSettings();
    if (const QScreen* screen = AOwner ? AOwner->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm_LxCommDevice_Settings::~TForm_LxCommDevice_Settings() = default;

void TForm_LxCommDevice_Settings::_CreateControls()
{
    GboxBase = NewGroup(this, "GboxBase", QRect(8, 8, 185, 185));
    lbPort = NewLabel(GboxBase, "lbPort", 8, 28);
    CbPort = new TPortComboBox(GboxBase);
    CbPort->setObjectName("CbPort");
    CbPort->setGeometry(FieldLeft, 24, FieldWidth, CbPort->sizeHint().height());
    lbBaud = NewLabel(GboxBase, "lbBaud", 8, 60);
    CbSelBaud = NewList(GboxBase, "CbSelBaud", 56);
    lbCheck = NewLabel(GboxBase, "lbCheck", 8, 92);
    CbParity = NewList(GboxBase, "CbParity", 88);
    lbBits = NewLabel(GboxBase, "lbBits", 8, 124);
    CbByteSize = NewList(GboxBase, "CbByteSize", 120);
    lbStops = NewLabel(GboxBase, "lbStops", 8, 156);
    CbStopBits = NewList(GboxBase, "CbStopBits", 152);

    GBoxModem = NewGroup(this, "GBoxModem", QRect(200, 8, 185, 89));
    lbFlow = NewLabel(GBoxModem, "lbFlow", 8, 28);
    CbFlow = NewList(GBoxModem, "CbFlow", 24);
    lbAAns = NewLabel(GBoxModem, "lbAAns", 8, 60);
    EditAutoAns = NewEdit(GBoxModem, "EditAutoAns", 56);

    GBoxBuffer = NewGroup(this, "GBoxBuffer", QRect(200, 104, 185, 89));
    lbInbs = NewLabel(GBoxBuffer, "lbInbs", 8, 24);
    EditInBufSize = NewEdit(GBoxBuffer, "EditInBufSize", 20);
    lbOutbs = NewLabel(GBoxBuffer, "lbOutbs", 8, 56);
    EditOutBufSize = NewEdit(GBoxBuffer, "EditOutBufSize", 52);

    BnAbout = NewButton(this, "BnAbout", 8, AboutGlyph());
    BnDefault = NewButton(this, "BnDefault", 152, DefaultGlyph());
    BnOK = NewButton(this, "BnOK", 232, OkGlyph());
    BnCancel = NewButton(this, "BnCancel", 312, CancelGlyph());
    BnOK->setDefault(true);

    // The list entry changes with the selection; so does the hint.
    connect(CbPort, &QComboBox::currentIndexChanged, CbPort,
            [this](int index) { CbPort->setToolTip(CbPort->itemData(index, Qt::ToolTipRole).toString()); });
    connect(BnOK, &QPushButton::clicked, this, &Settings::BnOKClick);
    connect(BnCancel, &QPushButton::clicked, this, &Settings::BnCancelClick);
    connect(BnDefault, &QPushButton::clicked, this, &Settings::BnDefaultClick);
    connect(BnAbout, &QPushButton::clicked, this, &Settings::BnAboutClick);
}

void TForm_LxCommDevice_Settings::_SetTabOrder()
{
    const std::array<QWidget*, 13> order = {CbPort,        CbSelBaud,      CbParity,       CbByteSize, CbStopBits,
                                            CbFlow,        EditAutoAns,    EditInBufSize,  EditOutBufSize,
                                            BnAbout,       BnDefault,      BnOK,           BnCancel};
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm_LxCommDevice_Settings::_ShowTexts()
{
    setWindowTitle(TextOf(txtCaption));
    GboxBase->setTitle(TextOf(txtGroupPort));
    GBoxModem->setTitle(TextOf(txtGroupModem));
    GBoxBuffer->setTitle(TextOf(txtGroupBuffer));
    BnAbout->setText(TextOf(txtAbout));
    BnDefault->setText(TextOf(txtDefault));
    BnOK->setText(TextOf(txtOK));
    BnCancel->setText(TextOf(txtCancel));
    const std::pair<QLabel*, TextIndex> labels[] = {
        {lbPort, txtPort},        {lbBaud, txtBaud},       {lbCheck, txtParity},  {lbBits, txtByteSize},
        {lbStops, txtStopBits},   {lbFlow, txtFlowControl}, {lbAAns, txtAutoAnswer}, {lbInbs, txtInputBuf},
        {lbOutbs, txtOutputBuf}};
    for (const auto& [label, text] : labels) {
        label->setText(TextOf(text));
        _FitLabel(label);
    }
}

void TForm_LxCommDevice_Settings::_FitLabel(QLabel* label)
{
    // The faces standing in for the library's run wider than the ones the
    // layout was drawn for, and a label would run under its field. Narrow
    // its letters instead; what still does not fit stays readable as a hint.
    label->adjustSize();
    const int room = FieldLeft - LabelGap - label->x();
    QFont font = label->font();
    int stretch = QFont::Unstretched;
    while (label->width() > room && stretch - StretchStep >= MinStretch) {
        stretch -= StretchStep;
        font.setStretch(stretch);
        label->setFont(font);
        label->adjustSize();
    }
    if (label->width() > room) {
        label->resize(room, label->height());
        label->setToolTip(label->text());
    }
}

void TForm_LxCommDevice_Settings::_ListPorts()
{
    const QString picked = CbPort->currentIndex() < 0 ? QString() : CbPort->currentText();
    const TCommSerialPortInfo ports;
    CbPort->clear();
    for (int i = 0; i < ports.PortList->Count(); ++i) {
        const TCommPortEntry& entry = ports.PortList->Entry(i);
        CbPort->addItem(QString::fromLatin1(entry.Name.c_str()));
        CbPort->setItemData(i, QString::fromStdString(ports.EntryDetail(i)), TPortComboBox::DetailRole);
        CbPort->setItemData(i, PortToolTip(entry), Qt::ToolTipRole);
    }
    if (!picked.isEmpty())
        CbPort->setCurrentIndex(CbPort->findText(picked));
}

// Adapters plugged in or pulled out while the dialog is open show in its
// list at once; the operator's pick stays while its port is there.
void TForm_LxCommDevice_Settings::_WatchPorts()
{
    PortWatch = std::make_unique<TCommPortWatch>();
    if (PortWatch->Descriptor() < 0)
        return;
    auto* notifier = new QSocketNotifier(PortWatch->Descriptor(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        if (PortWatch->TakeChanges())
            _ListPorts();
    });
}

void TForm_LxCommDevice_Settings::_ListChoices()
{
    for (const std::uint32_t rate : BaudRates)
        CbSelBaud->addItem(QString::number(rate));
    for (const char* text : ByteSizeTexts)
        CbByteSize->addItem(text);
    for (const char* text : StopBitsTexts)
        CbStopBits->addItem(text);
    CbParity->clear();
    for (TextIndex text : ParityTexts)
        CbParity->addItem(TextOf(text));
    CbFlow->clear();
    for (TextIndex text : FlowTexts)
        CbFlow->addItem(TextOf(text));
}

void TForm_LxCommDevice_Settings::_CentreButtonsForProgram()
{
    if (Device->Designing)
        return;
    BnAbout->hide();
    BnDefault->hide();
    // Positions are within the client area, whose width is the one that
    // centres the buttons; the frame is the window manager's and unknown
    // before the dialog is shown.
    BnOK->move((width() - BnOK->width()) / 2 - ProgramButtonOffset, BnOK->y());
    BnCancel->move((width() - BnCancel->width()) / 2 + ProgramButtonOffset, BnCancel->y());
}

void TForm_LxCommDevice_Settings::_ShowSettings()
{
    WasActive = Device->fGetActive();
    Saved.PortNo = Device->fGetPortNo();
    Saved.Baud = Device->fGetBaud();
    Saved.ByteSize = Device->fGetByteSize();
    Saved.Parity = Device->fGetParity();
    Saved.StopBits = Device->fGetStopBits();
    Saved.FlowControl = Device->fGetFlowControl();
    Saved.AutoAnswer = Device->fGetAutoAnswer();
    Saved.InBufSize = Device->fGetInBufSize();
    Saved.OutBufSize = Device->fGetOutBufSize();

    CbPort->setCurrentIndex(CbPort->findText(QString::fromLatin1(TCommSerialPortInfo::PortName(Saved.PortNo).c_str()),
                                             Qt::MatchExactly));
    SelectEntry(CbSelBaud, Saved.Baud);
    SelectEntry(CbByteSize, Saved.ByteSize - FirstByteSize);
    SelectEntry(CbParity, Saved.Parity);
    SelectEntry(CbStopBits, Saved.StopBits);
    // The two Xon/Xoff modes give the same line settings and share an entry.
    const TFlowControl flow = Saved.FlowControl == fcTranXonXoff ? fcXonXoff : Saved.FlowControl;
    const auto* entry = std::find(std::begin(FlowOfEntry), std::end(FlowOfEntry), flow);
    SelectEntry(CbFlow, entry == std::end(FlowOfEntry) ? 0 : static_cast<int>(entry - std::begin(FlowOfEntry)));
    EditAutoAns->setText(QString::number(Saved.AutoAnswer));
    EditInBufSize->setText(QString::number(Saved.InBufSize));
    EditOutBufSize->setText(QString::number(Saved.OutBufSize));
}

void TForm_LxCommDevice_Settings::BnOKClick()
{
    if (_AdvanceFocus())
        return;
    const std::optional<TSettings> input = _CheckedInput();
    if (!input)
        return;
    try {
        _Write(*input, WasActive || OpenOnOK);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        _Restore();
        CbPort->setFocus();
        _ShowError(FailureText(failure));
        return;
    }
    accept();
}

bool TForm_LxCommDevice_Settings::_AdvanceFocus()
{
    const std::array<QWidget*, 9> chain = {CbPort,   CbSelBaud,   CbParity,      CbByteSize,    CbStopBits,
                                           CbFlow,   EditAutoAns, EditInBufSize, EditOutBufSize};
    const QWidget* focused = focusWidget();
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        if (chain[i] == focused) {
            chain[i + 1]->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return false;
}

std::variant<Settings::TSettings, Settings::TRefusal> TForm_LxCommDevice_Settings::CheckEntries(const TEntries& entries)
{
    TSettings settings;
    if (entries.Port.isEmpty())
        return TRefusal{fdPort, txtMustSelectPort};
    settings.PortNo = TCommSerialPortInfo::PortNo(TOrvekString(entries.Port.toLatin1().toStdString()));

    if (entries.Baud < br110 || entries.Baud > br256000)
        return TRefusal{fdBaud, txtMustSelectBaud};
    settings.Baud = static_cast<TBaudRate>(entries.Baud);

    if (entries.ByteSize < 0 || entries.ByteSize >= static_cast<int>(std::size(ByteSizeTexts)))
        return TRefusal{fdByteSize, txtMustSelectByteSize};
    settings.ByteSize = entries.ByteSize + FirstByteSize;

    if (entries.Parity < ptNoParity || entries.Parity > ptSpaceParity)
        return TRefusal{fdParity, txtMustSelectParity};
    settings.Parity = static_cast<TParity>(entries.Parity);

    if (entries.StopBits < sbOneStopBit || entries.StopBits > sbTwoStopBit)
        return TRefusal{fdStopBits, txtMustSelectStopBits};
    settings.StopBits = static_cast<TStopBits>(entries.StopBits);

    if (entries.Flow < 0 || entries.Flow >= static_cast<int>(std::size(FlowOfEntry)))
        return TRefusal{fdFlow, txtMustSelectFlow};
    settings.FlowControl = FlowOfEntry[entries.Flow];

    const std::optional<int> autoAnswer = IntegerOf(entries.AutoAnswer);
    if (!autoAnswer || *autoAnswer < MinAutoAnswer || *autoAnswer > MaxAutoAnswer)
        return TRefusal{fdAutoAnswer, txtAutoAnswerRange};
    settings.AutoAnswer = *autoAnswer;

    const std::optional<int> inBufSize = IntegerOf(entries.InBufSize);
    if (!inBufSize || *inBufSize < MinBufSize)
        return TRefusal{fdInBufSize, txtInBufSizeError};
    settings.InBufSize = *inBufSize;

    const std::optional<int> outBufSize = IntegerOf(entries.OutBufSize);
    if (!outBufSize || *outBufSize < MinBufSize)
        return TRefusal{fdOutBufSize, txtOutBufSizeError};
    settings.OutBufSize = *outBufSize;
    return settings;
}

std::optional<TForm_LxCommDevice_Settings::TSettings> TForm_LxCommDevice_Settings::_CheckedInput()
{
    const TEntries entries{CbPort->currentIndex() < 0 ? QString() : CbPort->currentText(),
                           CbSelBaud->currentIndex(),
                           CbParity->currentIndex(),
                           CbByteSize->currentIndex(),
                           CbStopBits->currentIndex(),
                           CbFlow->currentIndex(),
                           EditAutoAns->text(),
                           EditInBufSize->text(),
                           EditOutBufSize->text()};
    const auto checked = CheckEntries(entries);
    if (const auto* settings = std::get_if<TSettings>(&checked))
        return *settings;
    const auto& refusal = std::get<TRefusal>(checked);
    QWidget* const fields[] = {CbPort, CbSelBaud, CbByteSize, CbParity, CbStopBits,
                               CbFlow, EditAutoAns, EditInBufSize, EditOutBufSize};
    fields[refusal.Field]->setFocus(Qt::OtherFocusReason);
    _ShowError(TextOf(refusal.Message));
    return std::nullopt;
}

void TForm_LxCommDevice_Settings::_ShowError(const QString& message)
{
    ShowMessageBox(this, QMessageBox::Critical, windowTitle(), message);
}

// The line settings close an open port; the final Active opens it again.
void TForm_LxCommDevice_Settings::_Write(const TSettings& settings, bool active)
{
    Device->fSetPortNo(settings.PortNo);
    Device->fSetBaud(settings.Baud);
    Device->fSetParity(settings.Parity);
    Device->fSetByteSize(settings.ByteSize);
    Device->fSetStopBits(settings.StopBits);
    Device->fSetFlowControl(settings.FlowControl);
    Device->fSetAutoAnswer(settings.AutoAnswer);
    Device->fSetInBufSize(settings.InBufSize);
    Device->fSetOutBufSize(settings.OutBufSize);
    Device->fSetActive(active);
}

// Each value is put back on its own, so that one that cannot be restored
// does not keep the later ones (and the port's state) from going back.
void TForm_LxCommDevice_Settings::_Restore()
{
    const std::function<void()> steps[] = {
        [this] { Device->fSetPortNo(Saved.PortNo); },
        [this] { Device->fSetBaud(Saved.Baud); },
        [this] { Device->fSetParity(Saved.Parity); },
        [this] { Device->fSetByteSize(Saved.ByteSize); },
        [this] { Device->fSetStopBits(Saved.StopBits); },
        [this] { Device->fSetFlowControl(Saved.FlowControl); },
        [this] { Device->fSetAutoAnswer(Saved.AutoAnswer); },
        [this] { Device->fSetInBufSize(Saved.InBufSize); },
        [this] { Device->fSetOutBufSize(Saved.OutBufSize); },
        [this] { Device->fSetActive(WasActive); },
    };
    for (const auto& step : steps) {
        try {
            step();
        } catch (...) {
            // The dialog reports the failure that made it restore.
        }
    }
}

void TForm_LxCommDevice_Settings::BnCancelClick()
{
    reject();
}

void TForm_LxCommDevice_Settings::BnDefaultClick()
{
    CbSelBaud->setCurrentIndex(CbSelBaud->findText("115200"));
    CbParity->setCurrentIndex(ptNoParity);
    CbByteSize->setCurrentIndex(CbByteSize->findText("8"));
    CbStopBits->setCurrentIndex(CbStopBits->findText("1"));
    CbFlow->setCurrentIndex(0);
    EditAutoAns->setText(QString::number(MinAutoAnswer));
    EditInBufSize->setText(QString::number(DefaultBufSize));
    EditOutBufSize->setText(QString::number(DefaultBufSize));
}

void TForm_LxCommDevice_Settings::BnAboutClick()
{
    TForm_LXComm32_About about(nullptr, Device->ClassName());
    about.exec();
}

namespace OrvekComm32 {

bool TLxCustomCommDevice::SettingsDialog(QObject* AOwner, bool OpenOnOK)
{
    TForm_LxCommDevice_Settings dialog(qobject_cast<QWidget*>(AOwner), this, OpenOnOK);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace OrvekComm32

// The dialog's meta-object goes with the dialog, so that a program using
// other parts of this library does not pull in the component through it.
#include "moc_Unit_lxcommdevice_settings.cpp"
