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
#include "SerialPort.h"
#include "TComm32.h"

namespace enginetest {

using namespace std::chrono_literals;
using OrvekComm32::Platform::TCommEvent;

void UsePort(OrvekComm32::TComm32& engine, int comNumber);
std::string Pattern(std::size_t count);
// Reads from the engine's receive queue until `wanted` bytes came or the
// time-out passed.
std::string ReadFromEngine(OrvekComm32::TComm32& engine, std::size_t wanted, std::chrono::milliseconds timeout = 5s);
// How many values of a record carry any of `bits`.
std::size_t CountWith(const std::vector<int>& record, int bits);

// The notify values an engine reported, from whichever thread, with the
// open and close events as AfterOpen and BeforeClose.
class Notifications {
public:
    static constexpr int AfterOpen = -1, BeforeClose = -2;
    void Attach(OrvekComm32::TComm32& engine);
    std::vector<int> Record() const;
    std::size_t CountWith(int bits) const { return enginetest::CountWith(Record(), bits); }
    void Clear();
    // True when `done(record)` held within `timeout`; `done` runs under the
    // record's lock and must look only at its argument.
    bool WaitFor(const std::function<bool(const std::vector<int>&)>& done, std::chrono::milliseconds timeout = 5s) const;

private:
    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    std::vector<int> Values;
};

// A port whose events, modem lines and driver the test plays. It records
// what the write thread wrote, chunk by chunk.
class FakePort : public OrvekComm32::Platform::TSerialPort {
public:
    std::atomic<bool> DriverDrains{false};    // the driver's output queue is empty after a write
    std::atomic<long> AcceptLimit{-1};        // >= 0: bytes accepted before writes hang until stopped
    std::atomic<std::uint32_t> ModemLines{0};
    std::atomic<bool> ModemLinesKnown{true};

    void PostEvents(std::uint32_t events);
    void Receive(const std::string& bytes);
    std::vector<long> Chunks() const;
    std::string Written() const;
    // True when `count` bytes were written within five seconds.
    bool WaitForWritten(std::size_t count) const;

    bool SetCommMask(std::uint32_t mask) override;
    bool SetupComm(long, long) override { return true; }
    bool SetCommState(const OrvekComm32::DCB&) override { return true; }
    TWaitResult WaitCommEvent(std::uint32_t& events, const TCommEvent& stop) override;
    bool ClearCommError(long& bytesWaiting) override;
    long ReadFile(char* buffer, long size) override;
    TWriteResult WriteFile(const char* data, long size, const TCommEvent& stop, long& written) override;
    bool OutputQueueEmpty() override { return DriverDrains; }
    void ReportTransmitEmpty() override { PostEvents(OrvekComm32::EV_TXEMPTY); }
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool EscapeCommFunction(unsigned long) override { return true; }
    bool PurgeComm(std::uint32_t) override { return true; }

private:
    mutable std::mutex Lock;
    mutable std::condition_variable WrittenChanged;
    std::deque<std::uint32_t> Events;
    std::uint32_t Mask = 0;
    bool Waiting = false;
    std::string Incoming, Outgoing;
    std::vector<long> WrittenChunks;
    TCommEvent Pending;
};

// An engine whose port is a FakePort.
class FakePortEngine : public OrvekComm32::TComm32 {
public:
    std::shared_ptr<FakePort> Port = std::make_shared<FakePort>();

protected:
    std::shared_ptr<OrvekComm32::Platform::TSerialPort> OpenPort(OrvekComm32::Platform::TOpenFailure&) override
    {
        return Port;
    }
};

} // namespace enginetest
