// The engine's three worker threads and the timer tick.
#include <algorithm>

#include "CommEvent.h"
#include "SerialPort.h"
#include "TComm32.h"
#include "WorkerThread.h"

namespace OrvekComm32 {

using Platform::TCommEvent;
using Platform::TSerialPort;

namespace {

constexpr std::uint32_t ReadThreadMask = 0x04BF;
constexpr long TransferSize = 2048;
// A port that keeps failing its waits (unplugged, hung up) gets at most one
// pass per this many milliseconds.
constexpr int FailedPassPaceMs = 50;

} // namespace

// What a worker uses, its own references: they keep the port and the events
// open for a worker that outlives its Close.
struct TComm32::TThreadContext {
    TComm32* Engine;
    std::shared_ptr<TWorker> Worker;
    std::shared_ptr<TSerialPort> Port;
    std::shared_ptr<TCommEvent> Stop;
    std::shared_ptr<TCommEvent> WriteRequest;
    std::shared_ptr<TChunk> Chunk;
};

bool TComm32::_StartWorker(std::shared_ptr<TWorker>& worker, void (*procedure)(void*),
                           std::shared_ptr<TCommEvent> stop, bool highestPriority)
{
    worker = std::make_shared<TWorker>();
    worker->Run.store(true, std::memory_order_release);
    // Alive from here, not from the thread's first step: a Close right after
    // Open must wait for a thread that has not yet been scheduled.
    worker->Alive.store(true, std::memory_order_release);
    auto* context = new TThreadContext{this, worker, Handle.load(), std::move(stop), WriteRequestEvent.load(), Chunk};
    const auto priority = highestPriority ? Platform::TThreadPriority::Highest : Platform::TThreadPriority::Normal;
    if (Platform::StartWorkerThread(procedure, context, priority))
        return true;
    delete context;
    worker->Run.store(false, std::memory_order_release);
    worker->Alive.store(false, std::memory_order_release);
    return false;
}

// Each procedure ends by dropping its references and then clearing its
// alive flag, so that once Close sees the flag clear the port is no longer
// held by the thread and can be opened again at once.
void TComm32::_ReadThread(void* start)
{
    auto* context = static_cast<TThreadContext*>(start);
    const auto worker = context->Worker;
    if (context->Port->SetCommMask(ReadThreadMask)) {
        char transfer[TransferSize];
        while (worker->Run.load(std::memory_order_acquire)) {
            if (!context->Engine->_ReadPass(*context, transfer))
                break;
        }
    }
    delete context;
    worker->Alive.store(false, std::memory_order_release);
}

bool TComm32::_ReadPass(TThreadContext& context, char* transfer)
{
    TSerialPort& port = *context.Port;
    const TCommEvent& stop = *context.Stop;
    const TWorker& worker = *context.Worker;
    std::uint32_t mask = 0;
    const auto waited = port.WaitCommEvent(mask, stop);
    if (waited == TSerialPort::TWaitResult::Stopped || !worker.Run.load(std::memory_order_acquire))
        return false;
    if (waited == TSerialPort::TWaitResult::Gone) {
        _ReportLoss(port);
        return false;  // a gone port has nothing more to tell
    }
    if (waited == TSerialPort::TWaitResult::Failed)
        mask = 0;

    // Bytes held in the driver while InQueue was full count as received
    // once the owner has made room.
    if (((mask & EV_RXCHAR) || InputResumed.exchange(false)) && _ReceiveWaitingBytes(port, transfer))
        mask |= EV_RXCHAR;
    if (mask & (EV_CTS | EV_DSR | EV_RLSD)) {
        std::uint32_t status;
        // ModemStatus is the one record of the lines last seen: of the read
        // thread and the timer tick, whichever moves its carrier bit reports
        // the change, the other finds nothing new.
        if (port.GetCommModemStatus(status) && !((ModemStatus.exchange(status) ^ status) & MS_RLSD_ON))
            mask &= ~static_cast<std::uint32_t>(EV_RLSD);
        if ((mask & EV_CTS) && DCB.fOutxCtsFlow && (ModemStatus.load() & MS_CTS_ON))
            mask |= EV_TXEMPTY;
        if (mask & EV_RLSD)
            RingCounter.store(0);
    }
    if ((mask & EV_TXEMPTY) && _CtsAllowsOutput()) {
        if (_OutputPending(*context.Chunk))
            mask &= ~static_cast<std::uint32_t>(EV_TXEMPTY);
        _SignalWriteRequest();
    }
    if (mask & EV_ERR) {
        long waiting;
        port.ClearCommError(waiting);
    }
    CommNotify(static_cast<int>(mask));

    if (waited == TSerialPort::TWaitResult::Failed && stop.Wait(FailedPassPaceMs))
        return false;
    return true;
}

void TComm32::_ReportLoss(const TSerialPort& port)
{
    const Platform::TSystemReason reason = port.Loss();
    {
        std::lock_guard guard(LossLock);
        Loss.emplace(EComm32Error::ecPortLost, reason.Error, reason.Reason);
    }
    CommNotify(EV_PORTLOST);
}

// Moves the driver's waiting bytes into InQueue; true when some were moved.
// A read that fails ends the step: the next pass tries again, so a device
// that went away cannot hold the thread here.
bool TComm32::_ReceiveWaitingBytes(TSerialPort& port, char* transfer)
{
    long waiting = 0;
    if (!port.ClearCommError(waiting))
        return false;
    const bool holdWhenFull = _InputFlowControl();
    bool moved = false;
    while (waiting > 0) {
        long wanted = std::min(waiting, TransferSize);
        if (holdWhenFull) {
            wanted = std::min(wanted, InQueue->Room());
            if (wanted == 0 && _HoldInput(port))
                return moved;
            if (wanted == 0)
                continue;  // the owner made room meanwhile
        }
        const long got = port.ReadFile(transfer, wanted);
        if (got <= 0)
            return moved;
        InQueue->In(transfer, got);  // without flow control, what does not fit is dropped
        moved = true;
        waiting -= got;
    }
    return moved;
}

bool TComm32::_InputFlowControl() const
{
    return DCB.fInX || DCB.fRtsControl == RTS_CONTROL_HANDSHAKE || DCB.fDtrControl == DTR_CONTROL_HANDSHAKE;
}

// Stops asking for EV_RXCHAR while InQueue is full, so that the waiting
// bytes neither end every wait nor are read and dropped; false when Read
// made room meanwhile.
bool TComm32::_HoldInput(TSerialPort& port)
{
    std::lock_guard guard(InputHoldLock);
    if (InQueue->Room() > 0)
        return false;
    InputHeld = true;
    port.SetCommMask(ReadThreadMask & ~static_cast<std::uint32_t>(EV_RXCHAR));
    return true;
}

void TComm32::_ResumeInput()
{
    std::lock_guard guard(InputHoldLock);
    if (!InputHeld)
        return;
    InputHeld = false;
    InputResumed = true;
    // Ends the read thread's wait, as a mask change ends a pending wait.
    if (const auto port = Handle.load())
        port->SetCommMask(ReadThreadMask);
}

bool TComm32::_CtsAllowsOutput() const
{
    return (ModemStatus.load() & MS_CTS_ON) || !DCB.fOutxCtsFlow;
}

// Two transmit-empties can be on their way at once (a Write wakes the write
// thread beside the read thread's request); the later one must not find the
// queue empty while the chunk just taken from it is still being written.
bool TComm32::_OutputPending(TChunk& chunk) const
{
    std::lock_guard guard(chunk.Lock);
    return OutQueue->Count() > 0 || chunk.Written < chunk.Count;
}

// A chunk is written in the pass that takes it. After a whole chunk, when
// the driver says its output queue is empty, the next chunk is taken at
// once; only while the driver still holds bytes, or after the last chunk,
// does the thread wait for the read thread's transmit-empty.
void TComm32::_WriteThread(void* start)
{
    auto* context = static_cast<TThreadContext*>(start);
    const auto worker = context->Worker;
    TComm32& engine = *context->Engine;
    TSerialPort& port = *context->Port;
    TCommEvent& stop = *context->Stop;
    TCommEvent& request = *context->WriteRequest;
    TChunk& chunk = *context->Chunk;
    bool ready = chunk.Written < chunk.Count;  // a chunk left by the last Close goes first
    while (worker->Run.load(std::memory_order_acquire)) {
        if (!ready) {
            if (Platform::WaitForEither(stop, request, -1) != 1 || !worker->Run.load(std::memory_order_acquire))
                break;
            request.Reset();
        }
        ready = false;
        if (chunk.Written == chunk.Count) {
            std::lock_guard guard(chunk.Lock);
            chunk.Written = 0;
            chunk.Count = engine.OutQueue->Out(chunk.Bytes, sizeof chunk.Bytes);
        }
        if (chunk.Count == 0)
            continue;
        long put = 0;
        const auto result = port.WriteFile(chunk.Bytes + chunk.Written, chunk.Count - chunk.Written, stop, put);
        {
            std::lock_guard guard(chunk.Lock);
            chunk.Written += put;
        }
        if (result == TSerialPort::TWriteResult::Stopped || !worker->Run.load(std::memory_order_acquire))
            break;
        Platform::YieldProcessor();
        if (result != TSerialPort::TWriteResult::Done)
            continue;  // the rest of the chunk waits for the next request
        if (engine.OutQueue->Count() > 0 && engine._CtsAllowsOutput() && port.OutputQueueEmpty())
            ready = true;
        else
            port.ReportTransmitEmpty();
    }
    delete context;
    worker->Alive.store(false, std::memory_order_release);
}

void TComm32::_TimerThread(void* start)
{
    auto* context = static_cast<TThreadContext*>(start);
    const auto worker = context->Worker;
    while (worker->Run.load(std::memory_order_acquire)) {
        if (context->Stop->Wait(static_cast<int>(context->Engine->TimerInterval)))
            break;
        context->Engine->fmsgCommTimer();
    }
    delete context;
    worker->Alive.store(false, std::memory_order_release);
}

void TComm32::fmsgCommTimer()
{
    const auto port = Handle.load();
    std::uint32_t fresh = 0;
    const bool known = port && port->GetCommModemStatus(fresh);
    if (known) {
        // Moves only the carrier bit, and reports only when this tick moved
        // it: the read thread may have seen the same change.
        std::uint32_t seen = ModemStatus.load();
        while (((seen ^ fresh) & MS_RLSD_ON) && !ModemStatus.compare_exchange_weak(seen, seen ^ MS_RLSD_ON)) {
        }
        if ((seen ^ fresh) & MS_RLSD_ON)
            CommNotify(EV_RLSD);
    }
    if (RingCounter.load() < RingInterval) {
        RingCounter.fetch_add(1);
        return;
    }
    if (known && !(ModemStatus.load() & MS_RLSD_ON) && (fresh & MS_RING_ON)) {
        RingCounter.store(0);
        CommNotify(EV_RING);
    }
}

} // namespace OrvekComm32
