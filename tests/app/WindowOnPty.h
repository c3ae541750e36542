#pragma once
// The main window with its port 1 on a pty whose master end plays the
// controller, its modal windows answered as an operator would, and the
// terminate request recorded instead of ending the event loop.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "Application.h"
#include "ControllerPeer.h"
#include "Lxcommdevice.h"
#include "ModalAnswers.h"
#include "PtyPort.h"
#include "Unit1.h"

namespace apptest {

using testsupport::WaitUntil;

class TerminateRecorder {
public:
    TerminateRecorder() { Application::SetTerminateHandler([this] { ++Requests; }); }
    ~TerminateRecorder()
    {
        Application::SetTerminateHandler({});
        Application::ResetTerminated();
    }
    int Requests = 0;
};

class WindowOnPty : public ::testing::Test {
protected:
    testsupport::PortDirectory Ports;
    testsupport::PtyPort Pty{1};
    testsupport::ModalAnswers Boxes;
    TerminateRecorder Terminate;
    ControllerPeer Peer{Pty};
    TForm1 Window;
};

inline QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// The link is up when the state label reads "连接".
inline bool WaitForLink(const TForm1& window, std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    return WaitUntil([&] { return window.Label11->text() == U("连接"); }, timeout);
}

// The port settings dialog, as the next modal window to answer.
inline bool IsSettingsDialog(QWidget* window)
{
    return window->objectName() == "Form_LxCommDevice_Settings";
}

} // namespace apptest
