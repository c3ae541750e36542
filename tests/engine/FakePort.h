#pragma once
// A serial port that the test plays: it posts the port events the engine
// waits for, sets the modem lines, feeds received bytes and records what
// the write thread wrote, chunk by chunk.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CommEvent.h"
#include "SerialPort.h"
#include "TComm32.h"

namespace enginetest {

class FakePort : public OrvekComm32::Platform::TSerialPort {
public:
    // The driver reports its transmit buffer empty after each write.
    bool ReportTransmitEmpty = true;
    std::atomic<std::uint32_t> ModemLines{0};
    std::atomic<bool> ModemLinesKnown{true};

    void PostEvents(std::uint32_t events);
    void Receive(const std::string& bytes);
    std::vector<long> Chunks() const;
    std::string Written() const;

    bool SetCommMask(std::uint32_t mask) override;
    bool SetupComm(long, long) override { return true; }
    bool SetCommState(const OrvekComm32::DCB&) override { return true; }
    TWaitResult WaitCommEvent(std::uint32_t& events, const OrvekComm32::Platform::TCommEvent& stop) override;
    bool ClearCommError(long& bytesWaiting) override;
    long ReadFile(char* buffer, long size) override;
    TWriteResult WriteFile(const char* data, long size, const OrvekComm32::Platform::TCommEvent& stop,
                           long& written) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool EscapeCommFunction(unsigned long) override { return true; }
    bool PurgeComm(std::uint32_t) override { return true; }

private:
    mutable std::mutex Lock;
    std::deque<std::uint32_t> Events;
    std::uint32_t Mask = 0;
    bool Waiting = false;
    std::string Incoming;
    std::string Outgoing;
    std::vector<long> WrittenChunks;
    OrvekComm32::Platform::TCommEvent Pending;
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
