#include "Unit2.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Application.h"
#include "ParseHexBytes.h"

TForm2* Form2 = nullptr;

namespace {

constexpr int RowsPerHalf = 6;
constexpr std::uint8_t SetLevelsCommand = 0xA3;

// The channels in their order on the dialog and in the set command.
constexpr const char* ChannelNames[TForm2::ChannelCount] = {
    "SR01E", "SR02E", "SR03E", "UR04E", "UR03E", "UR02E",
    "UR01E", "UR07E", "UR05E", "UR06E", "SR05E", "SR04E",
};

QLineEdit* TForm2::*const LevelEdits[TForm2::ChannelCount] = {
    &TForm2::Edit1, &TForm2::Edit2, &TForm2::Edit3, &TForm2::Edit4,  &TForm2::Edit5,  &TForm2::Edit6,
    &TForm2::Edit7, &TForm2::Edit8, &TForm2::Edit9, &TForm2::Edit10, &TForm2::Edit11, &TForm2::Edit12,
};

QLabel* TForm2::*const NameLabels[TForm2::ChannelCount] = {
    &TForm2::Label1, &TForm2::Label2, &TForm2::Label3, &TForm2::Label4,  &TForm2::Label5,  &TForm2::Label6,
    &TForm2::Label7, &TForm2::Label8, &TForm2::Label9, &TForm2::Label10, &TForm2::Label11, &TForm2::Label12,
};

QLabel* TForm2::*const CurrentLabels[TForm2::ChannelCount] = {
    &TForm2::Label13, &TForm2::Label14, &TForm2::Label15, &TForm2::Label16, &TForm2::Label17, &TForm2::Label18,
    &TForm2::Label19, &TForm2::Label20, &TForm2::Label21, &TForm2::Label22, &TForm2::Label23, &TForm2::Label24,
};

QString BadLevelMessage(int channel)
{
    return QString::fromLatin1(ChannelNames[channel - 1]) + QString::fromUtf8("电流参数设置错误");
}

} // namespace

float LevelToMilliamps(int level)
{
    // Extended precision first, then the float the device's tables hold.
    const long double milliamps = ((level * 0.014453125L + 1.3L) * 2 - 1.05L) / 390 * 1000;
    return static_cast<float>(milliamps);
}

QString CurrentText(int level)
{
    const double milliamps = LevelToMilliamps(level);
    return QString::fromUtf8("约合") + QString::number(milliamps, 'g', 4) + QStringLiteral("(mA)");
}

TForm2::TForm2(const std::uint8_t (&channelLevels)[ChannelCount], TSendServiceCommand sendServiceCommand,
               QWidget* parent)
    : QDialog(parent), ChannelLevels(channelLevels), SendServiceCommand(std::move(sendServiceCommand))
{
    _CreateControls();
    _LayOutControls();
    _ConnectHandlers();
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        const int level = ChannelLevels[channel - 1];
        _LevelEdit(channel)->setText(QString::number(level));
        _CurrentLabel(channel)->setText(CurrentText(level));
    }
}

TForm2::~TForm2()
{
    if (Form2 == this)
        Form2 = nullptr;
}

void TForm2::_CreateControls()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));

    Button1 = new QPushButton(QString::fromUtf8("设置"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        const QString name = QString::fromLatin1(ChannelNames[channel - 1]);
        const QString number = QString::number(channel);

        QLineEdit*& edit = this->*LevelEdits[channel - 1];
        edit = new QLineEdit(QStringLiteral("Edit1"), this);
        edit->setObjectName(QStringLiteral("Edit") + number);

        QLabel*& nameLabel = this->*NameLabels[channel - 1];
        nameLabel = new QLabel(name, this);
        nameLabel->setObjectName(QStringLiteral("Label") + number);
        nameLabel->setBuddy(edit);

        QLabel*& currentLabel = this->*CurrentLabels[channel - 1];
        currentLabel = new QLabel(name, this);
        currentLabel->setObjectName(QStringLiteral("Label") + QString::number(channel + ChannelCount));
    }
    Button2 = new QPushButton(QString::fromUtf8("完成"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    // Only a press of "设置" sends the levels: no button of this dialog is
    // a default one, so Enter in a level edit sends nothing.
    for (QPushButton* button : {Button1, Button2})
        button->setAutoDefault(false);

    setTabOrder(Button1, Edit1);
    for (int channel = 1; channel < ChannelCount; ++channel)
        setTabOrder(_LevelEdit(channel), _LevelEdit(channel + 1));
    setTabOrder(Edit12, Button2);
}

void TForm2::_LayOutControls()
{
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(8);
    // The widest current text, so that the labels keep their width as the
    // levels change.
    const int currentWidth = fontMetrics().horizontalAdvance(CurrentText(255)) + 4;
    const int editWidth = fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12;
    for (int channel = 1; channel <= ChannelCount; ++channel) {
        const int half = (channel - 1) / RowsPerHalf;
        const int row = (channel - 1) % RowsPerHalf;
        // Columns 0-2 hold the left half, 4-6 the right; column 3 is the gap.
        const int column = half * 4;
        _LevelEdit(channel)->setFixedWidth(editWidth);
        _CurrentLabel(channel)->setMinimumWidth(currentWidth);
        rows->addWidget(this->*NameLabels[channel - 1], row, column);
        rows->addWidget(_LevelEdit(channel), row, column + 1);
        rows->addWidget(_CurrentLabel(channel), row, column + 2);
    }
    rows->setColumnMinimumWidth(3, 24);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addSpacing(24);
    buttons->addWidget(Button2);
    buttons->addStretch();

    auto* form = new QVBoxLayout(this);
    form->addLayout(rows);
    form->addSpacing(12);
    form->addLayout(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm2::_ConnectHandlers()
{
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    using Handler = void (TForm2::*)();
    static constexpr Handler Changes[ChannelCount] = {
        &TForm2::Edit1Change, &TForm2::Edit2Change, &TForm2::Edit3Change,  &TForm2::Edit4Change,
        &TForm2::Edit5Change, &TForm2::Edit6Change, &TForm2::Edit7Change,  &TForm2::Edit8Change,
        &TForm2::Edit9Change, &TForm2::Edit10Change, &TForm2::Edit11Change, &TForm2::Edit12Change,
    };
    for (int channel = 1; channel <= ChannelCount; ++channel)
        connect(_LevelEdit(channel), &QLineEdit::textChanged, this, Changes[channel - 1]);
}

QLineEdit* TForm2::_LevelEdit(int channel) const
{
    return this->*LevelEdits[channel - 1];
}

QLabel* TForm2::_CurrentLabel(int channel) const
{
    return this->*CurrentLabels[channel - 1];
}

void TForm2::_CheckLevel(int channel)
{
    const QByteArray text = _LevelEdit(channel)->text().toUtf8();
    std::int32_t level = LeadingDecimalNumber(std::string_view(text.constData(), text.size()));
    if (level < 0 || level > 255) {
        level = ChannelLevels[channel - 1];
        // Runs this check again, which accepts the starting value.
        _LevelEdit(channel)->setText(QString::number(level));
        Application::ShowMessage(BadLevelMessage(channel));
    }
    ServiceLevels[channel - 1] = static_cast<std::uint8_t>(level);
    _CurrentLabel(channel)->setText(CurrentText(level));
}

void TForm2::Button1Click()
{
    std::uint8_t command[1 + ChannelCount];
    command[0] = SetLevelsCommand;
    std::copy(std::begin(ServiceLevels), std::end(ServiceLevels), command + 1);
    if (SendServiceCommand)
        SendServiceCommand(command, static_cast<int>(std::size(command)));
}

void TForm2::Button2Click()
{
    close();
}

void TForm2::Edit1Change() { _CheckLevel(1); }
void TForm2::Edit2Change() { _CheckLevel(2); }
void TForm2::Edit3Change() { _CheckLevel(3); }
void TForm2::Edit4Change() { _CheckLevel(4); }
void TForm2::Edit5Change() { _CheckLevel(5); }
void TForm2::Edit6Change() { _CheckLevel(6); }
void TForm2::Edit7Change() { _CheckLevel(7); }
void TForm2::Edit8Change() { _CheckLevel(8); }
void TForm2::Edit9Change() { _CheckLevel(9); }
void TForm2::Edit10Change() { _CheckLevel(10); }
void TForm2::Edit11Change() { _CheckLevel(11); }
void TForm2::Edit12Change() { _CheckLevel(12); }
