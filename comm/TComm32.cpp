#include "TComm32.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "CommEvent.h"
#include "SerialPort.h"
#include "WorkerThread.h"

namespace OrvekComm32 {

using Platform::TCommEvent;

namespace {

constexpr int CloseWaits = 100;
constexpr auto CloseWaitStep = std::chrono::milliseconds(5);
constexpr int EV_LINES = EV_CTS | EV_DSR | EV_RLSD;

std::shared_ptr<TCommEvent> MakeEvent()
{
    auto event = std::make_shared<TCommEvent>();
    return event->Valid() ? event : nullptr;
}

void SignalIfExists(const std::shared_ptr<TCommEvent>& event)
{
    if (event)
        event->Set();
}

} // namespace

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
    UsePortNo(PortNo);
    InQueue = std::make_unique<TCommQueue>(8192);
    OutQueue = std::make_unique<TCommQueue>(8192);
}

void TComm32::UsePortNo(int Value)
{
    PortNo = Value;
    std::snprintf(DeviceName, sizeof DeviceName, Fmt_COMn, Value);
    DevicePath.clear();
}

void TComm32::UseDevicePath(std::string Path)
{
    DevicePath = std::move(Path);
}

TComm32::~TComm32()
{
    try {
        Close();
    } catch (const Exception&) {
    }
    // A worker that outlived Close still uses the queues and this engine.
    _KeepStrayWorkers();
    for (const auto& worker : StrayWorkers)
        while (worker->Alive.load(std::memory_order_acquire))
            std::this_thread::sleep_for(CloseWaitStep);
    OutQueue.reset();
    InQueue.reset();
}

std::shared_ptr<Platform::TSerialPort> TComm32::OpenPort(Platform::TSystemReason& failure)
{
    return Platform::OpenSerialPort(DevicePath.empty() ? DeviceName : DevicePath.c_str(), failure);
}

long TComm32::Read(void* Buf, long Size)
{
    const long taken = InQueue->Out(static_cast<char*>(Buf), Size);
    if (taken > 0)
        _ResumeInput();
    return taken;
}

long TComm32::Write(const void* Buf, long Size)
{
    if (DisableWrite)
        return 0;
    const long accepted = OutQueue->In(static_cast<const char*>(Buf), Size);
    _SignalWriteRequest();
    return accepted;
}

long TComm32::Command(const char* Cmd)
{
    if (!Cmd)
        return 0;
    const long accepted = OutQueue->In(Cmd, static_cast<long>(std::strlen(Cmd)));
    _SignalWriteRequest();
    return accepted;
}

void TComm32::_SignalWriteRequest()
{
    SignalIfExists(WriteRequestEvent.load(std::memory_order_acquire));
}

void TComm32::PurgeRead(bool Abort)
{
    if (!Active)
        return;
    if (const auto port = Handle.load())
        port->PurgeComm(Platform::PURGE_RXCLEAR | (Abort ? Platform::PURGE_RXABORT : 0));
    InQueue->Purge();
}

void TComm32::PurgeWrite(bool Abort)
{
    if (!Active)
        return;
    if (const auto port = Handle.load())
        port->PurgeComm(Platform::PURGE_TXCLEAR | (Abort ? Platform::PURGE_TXABORT : 0));
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

bool TComm32::EscapeCommFunction(unsigned long Func)
{
    const auto port = Handle.load();
    if (!Active || !port || !port->EscapeCommFunction(Func))
        return false;
    switch (Func) {
    case SETRTS: RTS = true; break;
    case CLRRTS: RTS = false; break;
    case SETDTR: DTR = true; break;
    case CLRDTR: DTR = false; break;
    default: break;
    }
    return true;
}

void TComm32::Open()
{
    if (Active)
        return;
    EComm32Error::TErrorCode code = EComm32Error::ecNone;
    Platform::TSystemReason failure;
    std::shared_ptr<Platform::TSerialPort> port;

    RingCounter = 0;
    {
        std::lock_guard guard(LossLock);
        Loss.reset();
    }
    {
        std::lock_guard guard(InputHoldLock);
        InputHeld = false;
    }
    InputResumed = false;
    if (!InQueue->HasStorage())
        code = EComm32Error::ecReadBuffer;
    else if (!OutQueue->HasStorage())
        code = EComm32Error::ecWriteBuffer;

    if (!code) {
        port = OpenPort(failure);
        Handle.store(port);
        if (!port)
            code = EComm32Error::ecOpenPort;
    }
    // The system's reason of a failing step, read right after the step.
    const auto fails = [&](EComm32Error::TErrorCode failing) {
        code = failing;
        failure = Platform::LastSystemReason(DevicePath.empty() ? DeviceName : DevicePath);
    };
    if (!code && !port->SetCommMask(EV_RXFLAG))
        fails(EComm32Error::ecSetCommMask);
    if (!code && !port->SetupComm(HwInSize, HwOutSize))
        fails(EComm32Error::ecSetupComm);
    if (!code) {
        if (DCB.fDtrControl != DTR_CONTROL_HANDSHAKE)
            DCB.fDtrControl = DTR ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (DCB.fRtsControl != RTS_CONTROL_HANDSHAKE && DCB.fRtsControl != RTS_CONTROL_TOGGLE)
            DCB.fRtsControl = RTS ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        const OrvekComm32::DCB settings = DCB;
        if (!port->SetCommState(settings))
            fails(EComm32Error::ecSetCommState);
    }
    if (!code) {
        ReadStopEvent = MakeEvent();
        TimerStopEvent = MakeEvent();
        if (!ReadStopEvent || !TimerStopEvent)
            fails(EComm32Error::ecReadEvent);
    }
    if (!code) {
        WriteRequestEvent.store(MakeEvent());
        WriteStopEvent = MakeEvent();
        if (!WriteRequestEvent.load() || !WriteStopEvent)
            fails(EComm32Error::ecWriteEvent);
    }
    // A write thread that outlived its Close still holds the chunk; the new
    // one starts with a chunk of its own.
    if (WriteWorker && WriteWorker->Alive.load(std::memory_order_acquire))
        Chunk = std::make_shared<TChunk>();
    _KeepStrayWorkers();
    if (!code && !_StartWorker(ReadWorker, _ReadThread, ReadStopEvent, true))
        fails(EComm32Error::ecReadThread);
    if (!code && !_StartWorker(TimerWorker, _TimerThread, TimerStopEvent, false))
        fails(EComm32Error::ecReadThread);
    if (!code && !_StartWorker(WriteWorker, _WriteThread, WriteStopEvent, false))
        fails(EComm32Error::ecWriteThread);

    if (code) {
        Close();
        throw EComm32Error(code, failure.Error, failure.Reason);
    }
    Active = true;
    DisableWrite = false;
    std::uint32_t status;
    if (port->GetCommModemStatus(status))
        ModemStatus = status;
    DTR = DCB.fDtrControl != DTR_CONTROL_DISABLE;
    RTS = DCB.fRtsControl != RTS_CONTROL_DISABLE;
    CommNotify(EV_LINES);
    CommAfterOpen();
}

void TComm32::Close()
{
    EComm32Error::TErrorCode code = EComm32Error::ecNone;
    const bool wasActive = Active;
    if (wasActive)
        CommBeforeClose();
    for (auto* worker : {ReadWorker.get(), WriteWorker.get(), TimerWorker.get()})
        if (worker)
            worker->Run.store(false, std::memory_order_release);
    if (const auto port = Handle.load())
        port->SetCommMask(EV_RXFLAG);
    SignalIfExists(ReadStopEvent);
    SignalIfExists(WriteStopEvent);
    SignalIfExists(TimerStopEvent);

    for (int waits = 0; _CurrentWorkerAlive() && waits < CloseWaits; ++waits)
        std::this_thread::sleep_for(CloseWaitStep);
    const auto alive = [](const std::shared_ptr<TWorker>& worker) {
        return worker && worker->Alive.load(std::memory_order_acquire);
    };
    if (alive(ReadWorker) || alive(TimerWorker))
        code = EComm32Error::ecCloseReadThread;
    if (alive(WriteWorker))
        code = EComm32Error::ecCloseWriteThread;

    // A worker that did not end holds its own references to the port and
    // the events: releasing ours closes nothing under it.
    ReadStopEvent.reset();
    TimerStopEvent.reset();
    WriteRequestEvent.store(nullptr);
    WriteStopEvent.reset();
    Handle.store(nullptr);

    DTR = DCB.fDtrControl != DTR_CONTROL_DISABLE;
    RTS = DCB.fRtsControl != RTS_CONTROL_DISABLE;
    if (wasActive) {
        Active = false;
        ModemStatus = 0;
        CommNotify(EV_LINES);
    }
    if (code)
        throw EComm32Error(code);
}

bool TComm32::_CurrentWorkerAlive() const
{
    for (const auto* worker : {ReadWorker.get(), WriteWorker.get(), TimerWorker.get()})
        if (worker && worker->Alive.load(std::memory_order_acquire))
            return true;
    return false;
}

void TComm32::_KeepStrayWorkers()
{
    std::erase_if(StrayWorkers, [](const auto& worker) { return !worker->Alive.load(std::memory_order_acquire); });
    for (auto* worker : {&ReadWorker, &WriteWorker, &TimerWorker}) {
        if (*worker && (*worker)->Alive.load(std::memory_order_acquire))
            StrayWorkers.push_back(*worker);
        worker->reset();
    }
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

std::optional<EComm32Error> TComm32::PortLoss() const
{
    std::lock_guard guard(LossLock);
    return Loss;
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
