#pragma once
// What the engine tests share: a record of what an engine tells its owner,
// a serial port the test plays, and small helpers.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommEvent.h"
#include "NotifyRecord.h"
#include "SerialPort.h"
#include "TComm32.h"

namespace enginetest {

using namespace std::chrono_literals;
using OrvekComm32::Platform::TCommEvent;

// The failure Open throws; code 0 when it opens.
OrvekComm32::EComm32Error OpenFailure(OrvekComm32::TComm32& engine);
std::string Pattern(std::size_t count);
// How many values of a record carry any of `bits`.
std::size_t CountWith(const std::vector<int>& record, int bits);

// The notify values an engine reported, from whichever thread, with the
// open and close events as AfterOpen and BeforeClose.
class Notifications : public testsupport::NotifyRecord {
public:
    static constexpr int AfterOpen = -1, BeforeClose = -2;
    void Attach(OrvekComm32::TComm32& engine);
    std::size_t CountWith(int bits) const { return enginetest::CountWith(Record(), bits); }
};

// A port whose events, modem lines and driver the test plays; it receives
// nothing and records what the write thread wrote, chunk by chunk.
class FakePort : public OrvekComm32::Platform::TSerialPort {
public:
    std::atomic<bool> DriverDrains{false};   // the driver's output queue is empty after a write
    std::atomic<long> AcceptLimit{-1};       // >= 0: bytes accepted before writes hang until stopped
    std::atomic<std::uint32_t> ModemLines{0};
    std::atomic<bool> ModemLinesKnown{true};

    void PostEvents(std::uint32_t events);
    std::vector<long> Chunks() const { std::lock_guard guard(Lock); return WrittenChunks; }
    std::string Written() const { std::lock_guard guard(Lock); return Outgoing; }
    bool WaitForWritten(std::size_t count) const;  // within five seconds

    // A mask change does not end a wait here: Close's stop event does.
    bool SetCommMask(std::uint32_t mask) override { std::lock_guard guard(Lock); Mask = mask; return true; }
    bool SetupComm(long, long) override { return true; }
    bool SetCommState(const OrvekComm32::DCB&) override { return true; }
    TWaitResult WaitCommEvent(std::uint32_t& events, const TCommEvent& stop) override;
    OrvekComm32::Platform::TSystemReason Loss() const override { return {}; }
    bool ClearCommError(long& bytesWaiting) override { bytesWaiting = 0; return true; }
    long ReadFile(char*, long) override { return -1; }
    TWriteResult WriteFile(const char* data, long size, const TCommEvent& stop, long& written) override;
    bool OutputQueueEmpty() override { return DriverDrains; }
    void ReportTransmitEmpty() override { PostEvents(OrvekComm32::EV_TXEMPTY); }
    bool GetCommModemStatus(std::uint32_t& status) override { status = ModemLines; return ModemLinesKnown; }
    bool EscapeCommFunction(unsigned long) override { return true; }
    bool PurgeComm(std::uint32_t) override { return true; }

private:
    mutable std::mutex Lock;
    mutable std::condition_variable WrittenChanged;
    std::deque<std::uint32_t> Events;
    std::uint32_t Mask = 0;
    std::string Outgoing;
    std::vector<long> WrittenChunks;
    TCommEvent Pending;
};

// An engine whose port is a FakePort.
class FakePortEngine : public OrvekComm32::TComm32 {
public:
    ~FakePortEngine() override { Close(); }
    std::shared_ptr<FakePort> Port = std::make_shared<FakePort>();

protected:
    std::shared_ptr<OrvekComm32::Platform::TSerialPort> OpenPort(OrvekComm32::Platform::TSystemReason&) override
    {
        return Port;
    }
};

} // namespace enginetest
