#pragma once
// What the package tests share: framing and parsing through the codec, and
// an engine without a port. Its Read takes from bytes the test fed in, Write
// appends to a sink that can be limited to a few bytes per call or closed
// altogether, and Notify raises the engine's notify event as the engine's
// threads do. Safe to drive from several threads.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "NotifyRecord.h"
#include "PackageCodec.h"
#include "TComm32.h"
#include "Tcommpkg.h"

namespace packagetest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline Bytes Framed(const Bytes& data, bool doubleMark = true, const OrvekComm32::TFrameMarks& marks = {})
{
    const auto length = static_cast<std::uint32_t>(data.size());
    Bytes out(OrvekComm32::EncodedSizeLimit(length));
    out.resize(OrvekComm32::EncodePackage(data.data(), length, marks, doubleMark, out.data()));
    return out;
}

// The packages a stream parses into when it arrives `chunk` bytes at a time.
inline std::vector<Bytes> Unframed(const Bytes& stream, std::uint32_t limit = 4096, std::size_t chunk = SIZE_MAX,
                                   const OrvekComm32::TFrameMarks& marks = {})
{
    std::vector<Bytes> packages;
    Bytes package(limit);
    OrvekComm32::THeadTailDecoder state;
    auto sink = [](void* context, const unsigned char* p, std::uint32_t length) {
        static_cast<std::vector<Bytes>*>(context)->emplace_back(p, p + length);
    };
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::size_t n = std::min(chunk, stream.size() - at);
        OrvekComm32::DecodeHeadTail(state, marks, package.data(), limit, stream.data() + at, n, sink, &packages);
    }
    return packages;
}

class FakeEngine : public OrvekComm32::TComm32 {
public:
    std::atomic<bool> Writable {true};
    std::atomic<long> AcceptPerWrite {1L << 30};
    std::atomic<int> WriteCalls {0}, PurgeReads {0}, PurgeWrites {0};

    long Read(void* Buf, long Size) override
    {
        std::lock_guard guard(Lock);
        const long n = std::min<long>(Size, static_cast<long>(Source.size() - Taken));
        if (n <= 0)
            return 0;
        std::memcpy(Buf, Source.data() + Taken, static_cast<std::size_t>(n));
        Taken += static_cast<std::size_t>(n);
        return n;
    }

    long Write(const void* Buf, long Size) override
    {
        std::lock_guard guard(Lock);
        ++WriteCalls;
        if (!Writable || Size <= 0)
            return 0;
        const long n = std::min<long>(Size, AcceptPerWrite);
        const auto* bytes = static_cast<const std::uint8_t*>(Buf);
        Sink.insert(Sink.end(), bytes, bytes + n);
        return n;
    }

    void PurgeRead(bool) override
    {
        std::lock_guard guard(Lock);
        ++PurgeReads;
        Source.clear();
        Taken = 0;
    }

    void PurgeWrite(bool) override { ++PurgeWrites; }

    void Feed(const Bytes& bytes)
    {
        std::lock_guard guard(Lock);
        Source.insert(Source.end(), bytes.begin(), bytes.end());
    }

    // Feeds the bytes and reports them, as the read thread does.
    void Receive(const Bytes& bytes)
    {
        Feed(bytes);
        Notify(OrvekComm32::EV_RXCHAR);
    }

    void Notify(int NotifyType) { CommNotify(NotifyType); }

    Bytes Sent()
    {
        std::lock_guard guard(Lock);
        return Sink;
    }

    void ClearSent()
    {
        std::lock_guard guard(Lock);
        Sink.clear();
    }

private:
    std::mutex Lock;
    Bytes Source;
    std::size_t Taken = 0;
    Bytes Sink;
};

using NotifyLog = testsupport::NotifyRecord;

} // namespace packagetest
