#pragma once
// The main window with its port 1 on a pty whose master end plays the
// controller, and the message boxes answered as an operator would.

#include <gtest/gtest.h>

#include "ControllerPeer.h"
#include "MessageBoxes.h"
#include "PtyPort.h"
#include "Unit1.h"

namespace apptest {

class WindowOnPty : public ::testing::Test {
protected:
    testsupport::PortDirectory Ports;
    testsupport::PtyPort Pty{1};
    MessageBoxes Boxes;
    ControllerPeer Peer{Pty};
    TForm1 Window;
};

} // namespace apptest
