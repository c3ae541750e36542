#pragma once
// An engine without a port, for the package layer's tests: Read takes from
// bytes the test fed in, Write appends to a sink that can be limited to a
// few bytes per call or closed altogether, and Notify raises the engine's
// notify event as the engine's threads do. Safe to drive from several
// threads.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "PackageCodec.h"
#include "TComm32.h"
#include "Tcommpkg.h"

namespace packagetest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Framing and parsing with the default marks, through the codec whose own
// tests pin its bytes down.
inline Bytes Framed(const Bytes& data, bool doubleMark = true)
{
    Bytes out(OrvekComm32::EncodedSizeLimit(static_cast<std::uint32_t>(data.size())));
    out.resize(OrvekComm32::EncodePackage(data.data(), static_cast<std::uint32_t>(data.size()), {}, doubleMark,
                                          out.data()));
    return out;
}

inline std::vector<Bytes> Unframed(const Bytes& stream, std::uint32_t limit = 4096)
{
    std::vector<Bytes> packages;
    Bytes package(limit);
    OrvekComm32::THeadTailDecoder state;
    auto sink = [](void* context, const unsigned char* p, std::uint32_t length) {
        static_cast<std::vector<Bytes>*>(context)->emplace_back(p, p + length);
    };
    OrvekComm32::DecodeHeadTail(state, {}, package.data(), limit, stream.data(), stream.size(), sink, &packages);
    return packages;
}

class FakeEngine : public OrvekComm32::TComm32 {
public:
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
        const long n = std::min(Size, AcceptPerWrite);
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

    void PurgeWrite(bool) override
    {
        std::lock_guard guard(Lock);
        ++PurgeWrites;
    }

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

    std::size_t Unread()
    {
        std::lock_guard guard(Lock);
        return Source.size() - Taken;
    }

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

    void SetWritable(bool writable)
    {
        std::lock_guard guard(Lock);
        Writable = writable;
    }

    void SetAcceptPerWrite(long n)
    {
        std::lock_guard guard(Lock);
        AcceptPerWrite = n;
    }

    int WriteCallCount()
    {
        std::lock_guard guard(Lock);
        return WriteCalls;
    }

    int PurgeReadCount()
    {
        std::lock_guard guard(Lock);
        return PurgeReads;
    }

    int PurgeWriteCount()
    {
        std::lock_guard guard(Lock);
        return PurgeWrites;
    }

private:
    std::mutex Lock;
    Bytes Source;
    std::size_t Taken = 0;
    Bytes Sink;
    bool Writable = true;
    long AcceptPerWrite = 1L << 30;
    int WriteCalls = 0;
    int PurgeReads = 0;
    int PurgeWrites = 0;
};

// Records the notifications a handler receives and lets a test wait for
// them.
class NotifyLog {
public:
    struct Entry {
        TObject* Sender;
        int NotifyType;
    };

    void operator()(TObject* Sender, int NotifyType)
    {
        {
            std::lock_guard guard(Lock);
            Entries.push_back({Sender, NotifyType});
        }
        Changed.notify_all();
    }

    std::function<void(TObject*, int)> Handler()
    {
        return [this](TObject* Sender, int NotifyType) { (*this)(Sender, NotifyType); };
    }

    std::vector<Entry> Snapshot()
    {
        std::lock_guard guard(Lock);
        return Entries;
    }

    std::size_t Size()
    {
        std::lock_guard guard(Lock);
        return Entries.size();
    }

    void Clear()
    {
        std::lock_guard guard(Lock);
        Entries.clear();
    }

    // True when `count` entries arrived within the timeout.
    bool WaitForSize(std::size_t count, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock guard(Lock);
        return Changed.wait_for(guard, timeout, [&] { return Entries.size() >= count; });
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<Entry> Entries;
};

} // namespace packagetest
