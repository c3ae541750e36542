#include "SystemDcb.h"

#include "CommTypes.h"

#include <windows.h>

namespace OrvekComm32::Platform {

void ToSystemDcb(const OrvekComm32::DCB& dcb, _DCB& system)
{
    system.DCBlength = sizeof(::DCB);
    system.BaudRate = dcb.BaudRate;
    system.fBinary = dcb.fBinary;
    system.fParity = dcb.fParity;
    system.fOutxCtsFlow = dcb.fOutxCtsFlow;
    system.fOutxDsrFlow = dcb.fOutxDsrFlow;
    system.fDtrControl = dcb.fDtrControl;
    system.fDsrSensitivity = dcb.fDsrSensitivity;
    system.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
    system.fOutX = dcb.fOutX;
    system.fInX = dcb.fInX;
    system.fErrorChar = dcb.fErrorChar;
    system.fNull = dcb.fNull;
    system.fRtsControl = dcb.fRtsControl;
    system.fAbortOnError = dcb.fAbortOnError;
    system.fDummy2 = dcb.fDummy2;
    system.wReserved = dcb.wReserved;
    system.XonLim = dcb.XonLim;
    system.XoffLim = dcb.XoffLim;
    system.ByteSize = dcb.ByteSize;
    system.Parity = dcb.Parity;
    system.StopBits = dcb.StopBits;
    system.XonChar = dcb.XonChar;
    system.XoffChar = dcb.XoffChar;
    system.ErrorChar = dcb.ErrorChar;
    system.EofChar = dcb.EofChar;
    system.EvtChar = dcb.EvtChar;
    system.wReserved1 = dcb.wReserved1;
}

} // namespace OrvekComm32::Platform
