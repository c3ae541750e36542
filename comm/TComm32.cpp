#include "TComm32.h"

#include <cstdio>
#include <cstring>

namespace OrvekComm32 {

TComm32::TComm32()
{
    std::memset(&DCB, 0, sizeof DCB);
    DCB.DCBlength = sizeof DCB;
    DCB.BaudRate = 115200;
    DCB.ByteSize = 8;
    DCB.fBinary = 1;
    DCB.fDtrControl = DTR_CONTROL_ENABLE;
    DCB.fRtsControl = RTS_CONTROL_ENABLE;
    DCB.XonLim = 2048;
    DCB.XoffLim = 512;
    DCB.XonChar = 0x11;
    DCB.XoffChar = 0x13;
    std::snprintf(DeviceName, sizeof DeviceName, Fmt_COMn, PortNo);
    InQueue = std::make_unique<TCommQueue>(8192);
    OutQueue = std::make_unique<TCommQueue>(8192);
}

TComm32::~TComm32()
{
    try {
        Close();
    } catch (const Exception&) {
    }
    OutQueue.reset();
    InQueue.reset();
}

long TComm32::Read(void* Buf, long Size)
{
    std::lock_guard guard(InQueue->Guard);
    return InQueue->Out(static_cast<char*>(Buf), Size);
}

long TComm32::Write(const void* Buf, long Size)
{
    if (DisableWrite)
        return 0;
    std::lock_guard guard(OutQueue->Guard);
    return OutQueue->In(static_cast<const char*>(Buf), Size);
}

long TComm32::Command(const char* Cmd)
{
    if (!Cmd)
        return 0;
    std::lock_guard guard(OutQueue->Guard);
    return OutQueue->In(Cmd, static_cast<long>(std::strlen(Cmd)));
}

void TComm32::PurgeRead(bool)
{
    if (Active)
        InQueue->Purge();
}

void TComm32::PurgeWrite(bool)
{
    if (Active)
        OutQueue->Purge();
}

long TComm32::ResetModem()
{
    return Command(Str_ResetModem);
}

long TComm32::InitModem()
{
    char text[64];
    std::snprintf(text, sizeof text, Fmt_InitModem, static_cast<int>(fGetFCtrl()), static_cast<int>(AutoAnswer));
    return Command(text);
}

bool TComm32::EscapeCommFunction(unsigned long)
{
    return false;
}

void TComm32::Open()
{
    if (Active)
        return;
    throw EComm32Error(EComm32Error::ecOpenPort);
}

void TComm32::Close()
{
}

void TComm32::CommNotify(int NotifyType)
{
    try {
        OnCommNotify(this, NotifyType);
    } catch (...) {
    }
}

void TComm32::CommAfterOpen()
{
    try {
        OnAfterOpen(this);
    } catch (...) {
    }
}

void TComm32::CommBeforeClose()
{
    try {
        OnBeforeClose(this);
    } catch (...) {
    }
}

void TComm32::fmsgCommTimer()
{
}

TComm32::TFlowControl TComm32::fGetFCtrl() const
{
    if (DCB.fOutxCtsFlow && DCB.fOutX)
        return fcRtsCtsXonXoff;
    if (DCB.fOutxCtsFlow)
        return fcRtsCts;
    if (DCB.fOutX)
        return fcXonXoff;
    return fcNone;
}

void TComm32::fSetFCtrl(TFlowControl value)
{
    Close();
    const bool cts = value == fcRtsCts || value == fcRtsCtsXonXoff;
    const bool xonxoff = value == fcXonXoff || value == fcTranXonXoff || value == fcRtsCtsXonXoff;
    DCB.fRtsControl = cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    DCB.fOutxCtsFlow = cts;
    DCB.fDtrControl = DTR_CONTROL_ENABLE;
    DCB.fOutxDsrFlow = 0;
    DCB.fInX = xonxoff;
    DCB.fOutX = xonxoff;
}

bool TComm32::fGetDTR() const
{
    return Active && DTR;
}

void TComm32::fSetDTR(bool value)
{
    if (Active)
        EscapeCommFunction(value ? SETDTR : CLRDTR);
    else
        DTR = value;
}

bool TComm32::fGetRTS() const
{
    return Active && RTS;
}

void TComm32::fSetRTS(bool value)
{
    if (Active)
        EscapeCommFunction(value ? SETRTS : CLRRTS);
    else
        RTS = value;
}

} // namespace OrvekComm32
