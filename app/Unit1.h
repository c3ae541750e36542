#pragma once
// The main window: the four byte sequences and two line settings of the
// controller's configuration, the port button, the link to the controller
// and the hidden sensor service buttons.
//
// Threads: everything here runs on the window thread (the component's calls,
// the 50 ms poll and every handler). Modal messages run a nested event loop,
// so Timer1Timer may run inside another handler, itself included.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <vector>

#include <QComboBox>
#include <QMainWindow>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TForm2;
class Exception;
class TObject;

namespace OrvekComm32 {
class TLxCommDevice;
}

// A drop-down list whose selection changes only when the operator picks an
// item: from the drop-down, with the arrow keys or with the wheel. Focus
// changes, Enter and typed letters leave it alone (a plain list searches its
// items as the operator types). With no item selected it shows its
// placeholder text, which is not an item and never counts as one.
class TPickList : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, in the order of the form. Each carries its own name as
    // objectName.
    OrvekComm32::TLxCommDevice* LxCommDevice1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* ButtonSet = nullptr;
    QTimer* Timer1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button10 = nullptr;
    QPushButton* Button11 = nullptr;
    QPushButton* Button12 = nullptr;
    QPushButton* Button13 = nullptr;
    QPushButton* Button14 = nullptr;
    QPushButton* Button15 = nullptr;
    QPushButton* Button16 = nullptr;
    QPushButton* Button17 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button18 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TPickList* ComboBox2 = nullptr;
    TPickList* ComboBox3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;

    // Wraps a sensor command of 1 to 20 bytes in a service frame, shows the
    // frame in Edit1 and sends it. Refused with "串口未打开" while the port
    // is closed; longer commands are refused and nothing is sent.
    void SendServiceCommand(const unsigned char* Cmd, int Count);

    // A new, hidden sensor channel dialog owned by the application, which
    // starts from ChannelLevels and sends through SendServiceCommand.
    TForm2* CreateSensorDialog();

public slots:
    void ButtonSetClick();
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void Button15Click();
    void Button16Click();
    void Button17Click();
    void Button18Click();
    void Edit2Change();
    void Edit3Change();
    void Edit4Change();
    void Timer1Timer();
    // The component's engine notifications, on the window thread: a port
    // that went away is closed and reported as a port failure.
    void LxCommDevice1CommNotify(TObject* Sender, int NotifyType);

private:
    // The sensor dialog reads ChannelLevels for its starting values.
    friend class TForm2;

    void SendSequenceFrame(int code);

    void _CreateControls();
    void _LayOutControls();
    void _SetDesignTimeProperties();
    void _ConnectHandlers();
    void _ApplyPackageSettings();
    void _ReportDeviceFailure(const std::exception_ptr& error);
    void _WriteFrame(const std::vector<std::uint8_t>& frame);
    void _ActOnCode(std::uint8_t code);
    void _ResendLinkRequest();
    void _CheckPortNumberEdit(QLineEdit* edit, std::int32_t& accepted);
    void _SendService(std::initializer_list<unsigned char> command);

    std::int32_t Edit2Number = 0;
    std::int32_t Edit3Number = 0;
    std::int32_t Edit4Number = 0;
    std::uint8_t LinkRequested = 0;
    std::uint8_t ChannelLevels[12] = {};
};

extern TForm1* Form1;
