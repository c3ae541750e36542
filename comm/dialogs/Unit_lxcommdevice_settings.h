#pragma once
// The port settings dialog of a comm device component: port, baud rate,
// parity, byte size, stop bits, flow control, the modem's auto-answer ring
// count and the two buffer sizes. It shows the component's settings, checks
// the user's choices field by field, writes them back in a fixed order and
// opens the port again when it was open or the caller asks for it. When a
// write fails, every setting goes back to what the dialog found.
//
// Threads: window thread only. The component's writes may wait for the
// engine's threads to stop (closing the port); no notification of the
// component reaches the dialog.
//
// Usage, as the component does it:
//   TForm_LxCommDevice_Settings dialog(owner, device, openOnOK);
//   bool confirmed = dialog.exec() == QDialog::Accepted;

#include <memory>
#include <optional>
#include <variant>

#include <QDialog>
#include <QString>

#include "Lx_base.h"
#include "Lxcommdevice.h"
#include "TCommPortWatch.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TPortComboBox;

class TForm_LxCommDevice_Settings : public QDialog {
    Q_OBJECT

public:
    // `Device` is not owned and must outlive the dialog. `AOwner` may be
    // null; the dialog is centred on the screen either way.
    TForm_LxCommDevice_Settings(QWidget* AOwner, OrvekComm32::TLxCustomCommDevice* Device, bool OpenOnOK);
    ~TForm_LxCommDevice_Settings() override;

    // The dialog's texts in three languages.
    static const TOrvekFuncs::TLangTextSet& TextSet();

    // Indices into TextSet().
    enum TextIndex : std::size_t {
        txtOK,
        txtCancel,
        txtCaption,
        txtPort,
        txtBaud,
        txtParity,
        txtByteSize,
        txtStopBits,
        txtFlowControl,
        txtNoParity,
        txtOddParity,
        txtEvenParity,
        txtMarkParity,
        txtFlowNone,
        txtFlowRtsCts,
        txtFlowXonXoff,
        txtFlowRtsCtsXonXoff,
        txtMustSelectPort,
        txtMustSelectBaud,
        txtInvalidBaud,
        txtMustSelectByteSize,
        txtMustSelectParity,
        txtMustSelectStopBits,
        txtMustSelectFlow,
        txtAbout,
        txtDefault,
        txtGroupPort,
        txtGroupModem,
        txtGroupBuffer,
        txtAutoAnswer,
        txtInputBuf,
        txtOutputBuf,
        txtAutoAnswerRange,
        txtInBufSizeError,
        txtOutBufSizeError,
        txtSpaceParity,
        txtCount
    };

    // The value of an edit box's text: blanks and control characters around
    // it are ignored, the rest must be a decimal integer (one optional sign,
    // then digits only) that fits an int.
    static std::optional<int> IntegerOf(const QString& text);

public slots:
    // Enter arrives here too (OK is the default button): in a field of the
    // chain it only moves the focus on.
    void BnOKClick();
    void BnCancelClick();
    // Puts the usual line settings into the controls; the port stays.
    void BnDefaultClick();
    void BnAboutClick();

public:
    // What the dialog reads from and writes to the component.
    struct TSettings {
        int PortNo = 0;
        OrvekComm32::TBaudRate Baud = OrvekComm32::br115200;
        OrvekComm32::TParity Parity = OrvekComm32::ptNoParity;
        int ByteSize = 8;
        OrvekComm32::TStopBits StopBits = OrvekComm32::sbOneStopBit;
        OrvekComm32::TFlowControl FlowControl = OrvekComm32::fcNone;
        int AutoAnswer = 0;
        long InBufSize = 0;
        long OutBufSize = 0;
        bool operator==(const TSettings&) const = default;
    };

    // What the user entered: the entry picked in each list (-1 for none;
    // the port by its name, empty for none) and the three edit texts.
    struct TEntries {
        QString Port;
        int Baud = -1, Parity = -1, ByteSize = -1, StopBits = -1, Flow = -1;
        QString AutoAnswer, InBufSize, OutBufSize;
    };

    // The fields, in the order they are checked.
    enum TField { fdPort, fdBaud, fdByteSize, fdParity, fdStopBits, fdFlow, fdAutoAnswer, fdInBufSize, fdOutBufSize };
    struct TRefusal {
        TField Field;
        TextIndex Message;
        bool operator==(const TRefusal&) const = default;
    };

    // The settings the entries stand for, or the first field refused (in
    // the order of TField) with its message.
    static std::variant<TSettings, TRefusal> CheckEntries(const TEntries& entries);

private:
    void _CreateControls();
    void _SetTabOrder();
    void _ShowTexts();
    void _FitLabel(QLabel* label);
    void _ListPorts();
    void _WatchPorts();
    void _ListChoices();
    void _CentreButtonsForProgram();
    void _ShowSettings();

    bool _AdvanceFocus();
    std::optional<TSettings> _CheckedInput();
    void _ShowError(const QString& message);
    void _Write(const TSettings& settings, bool active);
    void _Restore();

    OrvekComm32::TLxCustomCommDevice* const Device; // not owned
    std::unique_ptr<OrvekComm32::TCommPortWatch> PortWatch;
    bool WasActive = false;
    const bool OpenOnOK;
    TSettings Saved;

    QGroupBox* GboxBase = nullptr;
    QLabel* lbPort = nullptr;
    TPortComboBox* CbPort = nullptr;
    QLabel* lbBaud = nullptr;
    QComboBox* CbSelBaud = nullptr;
    QLabel* lbCheck = nullptr;
    QComboBox* CbParity = nullptr;
    QLabel* lbBits = nullptr;
    QComboBox* CbByteSize = nullptr;
    QLabel* lbStops = nullptr;
    QComboBox* CbStopBits = nullptr;
    QGroupBox* GBoxModem = nullptr;
    QLabel* lbFlow = nullptr;
    QComboBox* CbFlow = nullptr;
    QLabel* lbAAns = nullptr;
    QLineEdit* EditAutoAns = nullptr;
    QGroupBox* GBoxBuffer = nullptr;
    QLabel* lbInbs = nullptr;
    QLineEdit* EditInBufSize = nullptr;
    QLabel* lbOutbs = nullptr;
    QLineEdit* EditOutBufSize = nullptr;
    QPushButton* BnAbout = nullptr;
    QPushButton* BnDefault = nullptr;
    QPushButton* BnOK = nullptr;
    QPushButton* BnCancel = nullptr;
};
