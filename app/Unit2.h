#pragma once
// The sensor channel dialog: the emitter levels (0 to 255) of the twelve
// optical sensor channels, each with its approximate emitter current, and
// "设置", which sends the twelve levels as one service command.
//
// The dialog takes the starting levels (the main window's ChannelLevels)
// and the sending path (the main window's SendServiceCommand) from its
// creator, so it can be built and tested without a main window.
//
// Threads: window thread only. A level check reports a bad entry with a
// modal message, which runs a nested event loop inside the edit's change.

#include <cstdint>
#include <functional>

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The approximate emitter current in mA of `level` (0 to 255).
float LevelToMilliamps(int level);

// "约合", the current in general format with 4 significant digits, "(mA)":
// "约合3.974(mA)" for level 0.
QString CurrentText(int level);

class TForm2 : public QDialog {
    Q_OBJECT

public:
    using TSendServiceCommand = std::function<void(const std::uint8_t* Cmd, int Count)>;
    static constexpr int ChannelCount = 12;

    // Each channel starts from, and falls back on a bad entry to,
    // its slot of `channelLevels`, which must outlive the dialog.
    TForm2(const std::uint8_t (&channelLevels)[ChannelCount], TSendServiceCommand sendServiceCommand,
           QWidget* parent = nullptr);
    ~TForm2() override;

    // The controls, each with its own name as objectName. Channel k
    // (1 to 12) has the name label Label<k>, the level edit Edit<k> and
    // the current label Label<k+12>.
    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QLineEdit* Edit11 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* Label22 = nullptr;
    QLabel* Label23 = nullptr;
    QLabel* Label24 = nullptr;
    QPushButton* Button2 = nullptr;

    // The level of channel k (1 to 12) as the last check accepted it.
    std::uint8_t ServiceLevel(int channel) const { return ServiceLevels[channel - 1]; }

public slots:
    void Button1Click();
    void Button2Click();
    void Edit1Change();
    void Edit2Change();
    void Edit3Change();
    void Edit4Change();
    void Edit5Change();
    void Edit6Change();
    void Edit7Change();
    void Edit8Change();
    void Edit9Change();
    void Edit10Change();
    void Edit11Change();
    void Edit12Change();

private:
    void _CreateControls();
    void _LayOutControls();
    void _ConnectHandlers();
    void _CheckLevel(int channel);
    QLineEdit* _LevelEdit(int channel) const;
    QLabel* _CurrentLabel(int channel) const;

    const std::uint8_t (&ChannelLevels)[ChannelCount];
    TSendServiceCommand SendServiceCommand;
    std::uint8_t ServiceLevels[ChannelCount] = {};
};

extern TForm2* Form2;
