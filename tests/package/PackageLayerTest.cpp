#include "Tcommpkg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "FakeEngine.h"
#include "TestClock.h"

using namespace OrvekComm32;
using namespace packagetest;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Counting(std::size_t n, int start = 0)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(start + i);
    return out;
}

// A compatible-type record: one whole slot of the layer's current size.
Bytes Record(const TCommPackage& layer, std::uint32_t length, const Bytes& data)
{
    Bytes record(std::max<std::size_t>(layer.PackageSize() + 4, 32), 0);
    std::memcpy(record.data(), &length, 4);
    std::memcpy(record.data() + 4, data.data(), std::min(data.size(), record.size() - 4));
    return record;
}

// An engine, the handler installed on it before the layer, and the layer
// with its package event recorded. Members are destroyed layer first.
struct Rig {
    explicit Rig(TClock& clock = TClock::System())
    {
        Engine.OnCommNotify = Earlier.Handler();
        Layer = std::make_unique<TCommPackage>(&Engine, clock);
        Layer->OnPackage = Events.Handler();
    }

    void Use(TCommPackageType type)
    {
        Layer->fSetPkgType(type);
        Layer->fSetActive(true);
    }

    // Takes the oldest package in a byte-count type.
    Bytes Take()
    {
        Bytes buffer(Layer->PackageSize() + 1);
        buffer.resize(Layer->ReadPackage(buffer.data(), static_cast<unsigned long>(buffer.size())));
        return buffer;
    }

    unsigned long Waiting() { return Layer->ReadPackage(nullptr, 0); }

    unsigned long Send(const Bytes& data)
    {
        return Layer->WritePackage(data.data(), static_cast<unsigned long>(data.size()));
    }

    // Raises EV_TXEMPTY until the sink stops growing.
    void DrainTransmit()
    {
        for (std::size_t before = SIZE_MAX; before != Engine.Sent().size();) {
            before = Engine.Sent().size();
            Engine.Notify(EV_TXEMPTY);
        }
    }

    FakeEngine Engine;
    NotifyLog Earlier;
    NotifyLog Events;
    std::unique_ptr<TCommPackage> Layer;
};

} // namespace

// ---------------------------------------------------------------------------
// Construction, the hook and its removal

TEST(PackageLayer, InactiveLayerPassesNotificationsOnAndTouchesNothing)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.Receive(Framed({1}));
    rig.Layer->fSetActive(false);
    rig.Engine.Feed(Framed({0x41}));
    rig.Engine.Notify(EV_RXCHAR | EV_TXEMPTY | EV_CTS);

    EXPECT_EQ(rig.Earlier.Record(), (std::vector<int> {EV_RXCHAR, EV_RXCHAR | EV_TXEMPTY | EV_CTS}));
    EXPECT_EQ(rig.Events.Record().size(), 1u); // only the package while active
    Bytes unread(8);
    EXPECT_EQ(rig.Engine.Read(unread.data(), 8), 5); // the inactive layer read nothing
    EXPECT_EQ(rig.Send({1, 2}), 0u);
    EXPECT_EQ(rig.Waiting(), 0u);
    rig.Layer->PurgeRead();
    rig.Layer->PurgeWrite();
    EXPECT_EQ(rig.Engine.PurgeReads + rig.Engine.PurgeWrites + rig.Engine.WriteCalls, 0);
}

TEST(PackageLayer, ActiveLayerReportsPackagesAndPassesOtherBits)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.Feed(Concat({{0xEB, 0xEE}, Framed({0x41})})); // an empty package, then one byte
    rig.Engine.Notify(EV_RXCHAR | EV_CTS);
    rig.Engine.Notify(EV_DSR);
    rig.Engine.Notify(EV_RXCHAR); // no new bytes, but packages still wait

    // The earlier handler sees every notification unchanged.
    const std::vector<int> sent {EV_RXCHAR | EV_CTS, EV_DSR, EV_RXCHAR};
    EXPECT_EQ(rig.Earlier.Record(), sent);
    EXPECT_EQ(rig.Events.Record(), sent);
    EXPECT_EQ(rig.Earlier.From(), std::set<TObject*> {&rig.Engine});
    EXPECT_EQ(rig.Events.From(), std::set<TObject*> {rig.Layer.get()});

    EXPECT_EQ(rig.Take(), Bytes {});
    EXPECT_EQ(rig.Take(), Bytes {0x41});
    rig.Engine.Notify(EV_RXCHAR);
    EXPECT_EQ(rig.Events.Record().size(), 3u); // nothing waits any more
}

TEST(PackageLayer, DestroyingWhileTheEngineNotifiesIsSafe)
{
    // The engine's slot lets a call that took the handler finish after the
    // handler is replaced; such a call must never reach a destroyed layer.
    FakeEngine engine;
    std::atomic<int> earlierCalls {0};
    engine.OnCommNotify = [&](TObject*, int) { earlierCalls.fetch_add(1, std::memory_order_relaxed); };
    std::atomic<bool> stop {false};
    std::atomic<int> notified {0};
    std::thread notifier([&] {
        while (!stop) {
            engine.Feed(Framed({1, 2, 3}));
            engine.Notify(EV_RXCHAR | EV_TXEMPTY);
            notified.fetch_add(1, std::memory_order_relaxed);
        }
    });
    for (int round = 0; round < 200; ++round) {
        TCommPackage layer(&engine);
        layer.fSetPkgType(cptFrameHeadTail);
        layer.fSetActive(true);
        const Bytes data {9, 8, 7};
        layer.WritePackage(data.data(), 3);
    }
    stop = true;
    notifier.join();
    // Every notification reached the earlier handler, through a layer or not.
    EXPECT_EQ(earlierCalls.load(), notified.load());

    // Without an earlier handler the slot is left empty again, not holding
    // a forwarder that each layer would nest one deeper.
    FakeEngine bare;
    {
        TCommPackage layer(&bare);
    }
    EXPECT_FALSE(static_cast<bool>(bare.OnCommNotify));
}

// ---------------------------------------------------------------------------
// Reception in the framed types

TEST(PackageLayer, ReceiveQueueKeepsOneSlotEmptyAndAtLeastOnePackage)
{
    // Queue size, then how many of 16 packages it keeps.
    const std::pair<unsigned long, int> sizes[] = {{16, 15}, {1, 1}, {0, 1}, {static_cast<unsigned long>(-3L), 1}};
    for (const auto& [size, kept] : sizes) {
        Rig rig;
        rig.Layer->fSetQSize(size);
        rig.Use(cptFrameHeadTail);
        for (int i = 0; i < 16; ++i)
            rig.Engine.Receive(Framed({static_cast<std::uint8_t>(i)}));
        for (int i = 0; i < kept; ++i)
            ASSERT_EQ(rig.Take(), Bytes {static_cast<std::uint8_t>(i)}) << size;
        EXPECT_EQ(rig.Waiting(), 0u) << size;
    }
}

TEST(PackageLayer, SmallPackageSizeStillGivesThirtyTwoByteSlots)
{
    Rig rig;
    rig.Layer->fSetPkgSz(10);
    rig.Use(cptCompatiblePkg);
    rig.Engine.Receive(Framed(Counting(12, 1)));

    Bytes slot(64, 0xAA);
    ASSERT_EQ(rig.Layer->ReadPackage(slot.data(), 0), 1u);
    std::uint32_t length;
    std::memcpy(&length, slot.data(), 4);
    EXPECT_EQ(length, 10u); // cut to the package size
    EXPECT_EQ(Bytes(slot.begin() + 4, slot.begin() + 14), Counting(10, 1));
    EXPECT_EQ(Bytes(slot.begin() + 32, slot.end()), Bytes(32, 0xAA)); // one 32-byte slot, no more
}

TEST(PackageLayer, ReadPackagePeeksOrCutsToTheCallersSize)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.Receive(Concat({Framed(Counting(10)), Framed({0x77})}));

    Bytes buffer(4);
    EXPECT_EQ(rig.Layer->ReadPackage(nullptr, 100), 10u);
    EXPECT_EQ(rig.Layer->ReadPackage(buffer.data(), 0), 10u);
    EXPECT_EQ(rig.Layer->ReadPackage(buffer.data(), 4), 4u);
    EXPECT_EQ(buffer, Counting(4));
    // The rest of the first package went with it.
    EXPECT_EQ(rig.Take(), Bytes {0x77});
}

// ---------------------------------------------------------------------------
// Sending

TEST(PackageLayer, FramesWithTheCurrentMarks)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    const Bytes data {0x01, 0xEB, 0x02};
    rig.Layer->fSetDblFrameMark(false);
    // Frame bytes written straight into the layer apply to the next package
    // and the next bytes parsed.
    rig.Layer->FrameHead = 0x02;
    rig.Layer->FrameTail = 0x03;
    rig.Layer->FrameCtrl = 0x10;
    EXPECT_EQ(rig.Send(data), 3u);
    EXPECT_EQ(rig.Engine.Sent(), (Bytes {0x02, 0x01, 0xEB, 0x10, 0x02, 0x03}));
    rig.Engine.Receive({0x10, 0x02, 0x02, 0x41, 0x10, 0x03, 0xEB, 0x03});
    EXPECT_EQ(rig.Take(), (Bytes {0x41, 0x03, 0xEB}));
}

TEST(PackageLayer, WriteTakesAtMostThePackageSize)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    EXPECT_EQ(rig.Send(Counting(5000)), 4096u);
    EXPECT_EQ(rig.Engine.Sent(), Framed(Counting(4096)));

    rig.Engine.ClearSent();
    EXPECT_EQ(rig.Send({}), 0u);
    EXPECT_EQ(rig.Layer->WritePackage(nullptr, 10), 0u);
    rig.DrainTransmit();
    EXPECT_TRUE(rig.Engine.Sent().empty());

    // A compatible record claiming more than the package size is cut too.
    rig.Use(cptCompatiblePkg);
    EXPECT_EQ(rig.Layer->WritePackage(Record(*rig.Layer, 5000, Counting(4096)).data(), 1), 1u);
    rig.DrainTransmit();
    EXPECT_EQ(rig.Engine.Sent(), Framed(Counting(4096)));
}

TEST(PackageLayer, PackagesWaitWhileTheEngineAcceptsNothing)
{
    Rig rig;
    rig.Use(cptCompatiblePkg);
    rig.Engine.Writable = false;
    // One package goes into the encoded record, fifteen into the queue.
    std::vector<Bytes> sent;
    for (int i = 0; i < 16; ++i) {
        sent.push_back(Counting(20, i));
        // Len is not used: the record says how long it is.
        ASSERT_EQ(rig.Layer->WritePackage(Record(*rig.Layer, 20, sent.back()).data(), 0), 1u) << i;
    }
    EXPECT_EQ(rig.Layer->WritePackage(Record(*rig.Layer, 1, {0}).data(), 0), 0u);
    rig.Engine.Notify(EV_TXEMPTY); // accepted nothing: the package must stay in hand

    rig.Engine.Writable = true;
    rig.DrainTransmit();
    EXPECT_EQ(Unframed(rig.Engine.Sent()), sent);
}

TEST(PackageLayer, PartlyAcceptedPackagesAreHandedOverInLaterSteps)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.AcceptPerWrite = 5;
    const Bytes a = Counting(30), b = Counting(12, 0xE0), c = Counting(7, 0x40);
    for (const Bytes* data : {&a, &b, &c})
        ASSERT_EQ(rig.Send(*data), data->size());

    // EV_TXEMPTY comes back to the owner only once the last package has left
    // the transmit queue, which shows as its first bytes in the sink.
    const std::size_t beforeLast = Framed(a).size() + Framed(b).size();
    for (int step = 0; step < 100; ++step) {
        rig.Events.Clear();
        rig.Engine.Notify(EV_TXEMPTY);
        const bool lastTaken = rig.Engine.Sent().size() > beforeLast;
        EXPECT_EQ(rig.Events.Record(), lastTaken ? std::vector<int> {EV_TXEMPTY} : std::vector<int> {}) << step;
    }
    EXPECT_EQ(rig.Engine.Sent(), Concat({Framed(a), Framed(b), Framed(c)}));
}

// ---------------------------------------------------------------------------
// Purges and setters

// Purges drop what waits in the queues, not the package being assembled
// or handed over.
TEST(PackageLayer, PurgesKeepThePackagesInHand)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.Receive({0xEB, 0x01, 0xEE, 0xEB, 0x02});
    rig.Engine.AcceptPerWrite = 3;
    const Bytes a = Counting(10), b = Counting(10, 100);
    rig.Send(a);
    rig.Send(b);
    rig.Layer->PurgeRead();
    rig.Layer->PurgeWrite();
    EXPECT_EQ(rig.Engine.PurgeReads + rig.Engine.PurgeWrites, 2);
    EXPECT_EQ(rig.Waiting(), 0u);
    rig.Engine.Receive({0x03, 0xEE});
    EXPECT_EQ(rig.Take(), (Bytes {0x02, 0x03}));
    rig.DrainTransmit();
    EXPECT_EQ(rig.Engine.Sent(), Framed(a));
}

// Setters that reshape the queues drop what they hold both ways, packages
// begun included; the interval and the double mark keep it.
TEST(PackageLayer, SettersOfActiveLayerDropOrKeepWhatIsQueued)
{
    const Bytes data {5, 6};
    const std::vector<Bytes> kept {{1}, {2, 3}};
    const struct {
        const char* Name;
        std::function<void(TCommPackage&)> Set;
        std::vector<Bytes> Received;
        Bytes Sent;
    } setters[] = {
        {"type", [](TCommPackage& l) { l.fSetPkgType(cptCompatiblePkg); }, {}, {}},
        {"package size", [](TCommPackage& l) { l.fSetPkgSz(2000); }, {}, {}},
        {"queue size", [](TCommPackage& l) { l.fSetQSize(8); }, {}, {}},
        {"active", [](TCommPackage& l) { l.fSetActive(true); }, {}, {}},
        {"interval", [](TCommPackage& l) { l.fSetPkgInterval(80); }, kept, Concat({Framed(data), Framed(data)})},
        // The package being handed over was encoded before the change.
        {"double mark", [](TCommPackage& l) { l.fSetDblFrameMark(false); }, kept,
         Concat({Framed(data), Framed(data, false)})},
    };
    for (const auto& row : setters) {
        Rig rig;
        rig.Use(cptFrameHeadTail);
        rig.Engine.Receive(Concat({Framed({1}), Bytes {0xEB, 0x02}})); // one waiting, one begun
        rig.Engine.Writable = false;
        rig.Send(data); // being handed over
        rig.Send(data); // queued

        row.Set(*rig.Layer);
        EXPECT_TRUE(rig.Layer->Active()) << row.Name;
        rig.Engine.Receive({0x03, 0xEE});
        std::vector<Bytes> received;
        Bytes slot(4200);
        while (const unsigned long n = rig.Layer->ReadPackage(slot.data(), static_cast<unsigned long>(slot.size())))
            received.emplace_back(slot.begin(), slot.begin() + n);
        EXPECT_EQ(received, row.Received) << row.Name;
        rig.Engine.Writable = true;
        rig.DrainTransmit();
        EXPECT_EQ(rig.Engine.Sent(), row.Sent) << row.Name;
    }
}

// Sizes beyond 32 bits are refused without loss; a larger size that fits
// carries larger packages both ways.
TEST(PackageLayer, PackageSizeBeyond32BitsIsRefusedAndALargerOneCarriesMore)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.Receive(Framed({1}));
    rig.Layer->fSetPkgSz(0x80000000UL);       // encoded record beyond 2^32
    rig.Layer->fSetPkgSz(0x10000000UL);       // 16 slots beyond 2^32
    rig.Layer->fSetPkgSz(0xFFFFFFFFFFUL);
    rig.Layer->fSetQSize(1UL << 20);          // 2^20 slots of 4100 bytes
    rig.Layer->fSetQSize(1UL << 40);
    EXPECT_EQ(rig.Layer->PackageSize(), 4096u);
    EXPECT_EQ(rig.Take(), Bytes {1}); // refused before the layer was touched

    rig.Layer->fSetPkgSz(100000);
    const Bytes data = Counting(100000);
    EXPECT_EQ(rig.Send(data), 100000u);
    rig.Engine.Receive(rig.Engine.Sent());
    EXPECT_EQ(rig.Take(), data);
}

// ---------------------------------------------------------------------------
// Threads

TEST(PackageLayerThreads, SendingStepsOfTwoThreadsNeverInterleave)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    rig.Engine.AcceptPerWrite = 7;
    std::atomic<bool> stop {false};
    std::atomic<int> steps {0};
    std::thread notifier([&] {
        while (!stop) {
            rig.Engine.Notify(EV_TXEMPTY);
            steps.fetch_add(1, std::memory_order_relaxed);
        }
    });

    std::mt19937 rng {11};
    std::vector<Bytes> written;
    while (written.size() < 300 || steps.load(std::memory_order_relaxed) < 300) {
        Bytes data(rng() % 60);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        if (rig.Send(data) == data.size() && !data.empty()) {
            written.push_back(std::move(data));
        } else {
            std::this_thread::yield();
        }
    }
    stop = true;
    notifier.join();
    rig.DrainTransmit();
    EXPECT_EQ(Unframed(rig.Engine.Sent()), written);
}

TEST(PackageLayerThreads, ResizingWhileReceptionRunsKeepsTheLayerSound)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    std::atomic<bool> stop {false};
    std::atomic<int> steps {0};
    std::thread receiver([&] {
        std::mt19937 rng {3};
        while (!stop) {
            rig.Engine.Receive(Framed(Bytes(rng() % 3000, 0x5A)));
            rig.Engine.Notify(EV_TXEMPTY);
            steps.fetch_add(1, std::memory_order_relaxed);
        }
    });
    // Until both sides have run many times, so that they surely overlapped.
    for (int round = 0; round < 200 || steps.load(std::memory_order_relaxed) < 200; ++round) {
        rig.Layer->fSetPkgSz(round % 2 ? 16 : 2600);
        rig.Layer->fSetQSize(2 + round % 5);
        rig.Send(Bytes(500, 0x33));
        rig.Take();
    }
    stop = true;
    receiver.join();

    rig.Engine.PurgeRead(false);
    rig.Layer->fSetActive(true);
    rig.Engine.Receive(Framed({7, 7, 7}));
    EXPECT_EQ(rig.Take(), (Bytes {7, 7, 7}));
}

// A package handler on the notifying thread reads and writes packages
// while the owner does the same and resizes: every package is taken once
// at most, and the buffers a resize frees are never in use.
TEST(PackageLayerThreads, HandlerAndOwnerReadAndWritePackagesAtOnce)
{
    Rig rig;
    rig.Use(cptFrameHeadTail);
    std::mutex seenLock;
    std::vector<int> timesSeen(30000, 0);
    const auto takeAll = [&] {
        Bytes buffer(8);
        while (rig.Layer->ReadPackage(buffer.data(), 8) == 2) {
            std::lock_guard guard(seenLock);
            ++timesSeen[buffer[0] * 256 + buffer[1]];
        }
    };
    rig.Layer->OnPackage = [&](TObject*, int type) {
        if (type & EV_RXCHAR)
            takeAll();
        rig.Send({1});
    };
    std::atomic<bool> done {false};
    std::thread notifier([&] {
        for (int id = 0; id < 30000; ++id) {
            rig.Engine.Receive(Framed({static_cast<std::uint8_t>(id / 256), static_cast<std::uint8_t>(id % 256)}));
            rig.Engine.Notify(EV_TXEMPTY);
        }
        done = true;
    });
    for (int round = 0; !done; ++round) {
        takeAll();
        rig.Send({2});
        if (round % 64 == 63)
            rig.Layer->fSetQSize(16 + round % 2);
    }
    notifier.join();
    takeAll();
    EXPECT_EQ(std::count_if(timesSeen.begin(), timesSeen.end(), [](int n) { return n > 1; }), 0);
    EXPECT_GT(std::count(timesSeen.begin(), timesSeen.end(), 1), 0); // a full queue or a resize loses some
}

TEST(PackageLayerThreads, DestructorWaitsForAPackageEventThatOverruns)
{
    // The package event of the layer thread runs far beyond the 100 ms the
    // thread is given to stop; the layer must stay whole until it ends.
    FakeEngine engine;
    auto layer = std::make_unique<TCommPackage>(&engine);
    TCommPackage* const raw = layer.get();
    std::promise<void> entered;
    std::atomic<unsigned long> seenWaiting {0};
    std::atomic<bool> finished {false};
    layer->OnPackage = [&](TObject*, int) {
        entered.set_value();
        std::this_thread::sleep_for(300ms); // the overrun itself
        seenWaiting = raw->ReadPackage(nullptr, 0);
        finished = true;
    };
    layer->fSetPkgType(cptFrameTimeout);
    layer->fSetActive(true);
    engine.Feed({1, 2, 3});
    ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);
    layer.reset();
    EXPECT_TRUE(finished);
    EXPECT_EQ(seenWaiting.load(), 3u); // the package was still there to read
}

// ---------------------------------------------------------------------------
// Time-out reception on the layer thread, in time the test moves

namespace {

// A time-out layer on a test clock. Each step moves the clock and returns
// when the layer thread sleeps again, its work for that moment done.
struct ClockRig {
    ClockRig(unsigned long interval, unsigned long packageSize = 4096, unsigned long queueSize = 16)
    {
        R.Layer->fSetPkgType(cptFrameTimeout);
        R.Layer->fSetPkgSz(packageSize);
        R.Layer->fSetQSize(queueSize);
        Settle([&] { R.Layer->fSetPkgInterval(interval); });
        Settle([&] { R.Layer->fSetActive(true); });
    }

    // Runs a call that wakes the layer thread and waits for it to sleep.
    void Settle(const std::function<void()>& wake)
    {
        wake();
        ASSERT_TRUE(Clock.AwaitSleeper());
    }

    void Pass(std::chrono::milliseconds time)
    {
        Settle([&] { Clock.Advance(time); });
    }

    testsupport::TTestClock Clock;
    Rig R {Clock};
};

} // namespace

// A whole frame, which a framed type would report at once, ends no package
// while the layer thread sleeps: a setter's wake-up would count as one, so
// the rig lets them pass first, and the test clock stands still.
TEST(PackageLayerTimeout, ReceivedBytesEventsEndNoPackage)
{
    ClockRig rig(50);
    rig.R.Engine.Receive(Framed({1}));
    EXPECT_TRUE(rig.R.Events.Record().empty());
    EXPECT_EQ(rig.R.Waiting(), 0u);
}

// A package ends at the first wake-up that finds no new byte: bytes one
// interval apart stay one package, and the last is reported at the second
// wake-up after it, not a moment before.
TEST(PackageLayerTimeout, APackageEndsAtTheFirstWakeUpWithoutNewBytes)
{
    ClockRig rig(50);
    for (int i = 0; i < 20; ++i) {
        rig.R.Engine.Feed({static_cast<std::uint8_t>(i)});
        rig.Pass(50ms);
    }
    rig.Pass(49ms);
    EXPECT_TRUE(rig.R.Events.Record().empty());
    rig.Pass(1ms);
    EXPECT_EQ(rig.R.Events.Record(), std::vector<int> {EV_RXCHAR});
    EXPECT_EQ(rig.R.Take(), Counting(20));

    // A byte in the middle of an interval: read at the next wake-up, closed
    // at the one after.
    rig.Pass(20ms);
    rig.R.Engine.Feed({0x55});
    rig.Pass(30ms);
    rig.Pass(49ms);
    EXPECT_EQ(rig.R.Events.Record().size(), 1u);
    rig.Pass(1ms);
    EXPECT_EQ(rig.R.Events.Record().size(), 2u);
    EXPECT_EQ(rig.R.Take(), Bytes {0x55});
}

// A new interval ends the current wait (which counts as a wake-up), a long
// package is cut, and a full queue still reports.
TEST(PackageLayerTimeout, NewIntervalLongPackageAndFullQueue)
{
    ClockRig rig(3600 * 1000, 8, 1);
    rig.R.Engine.Feed(Counting(20));
    rig.Settle([&] { rig.R.Layer->fSetPkgInterval(20); }); // without the wake-up this would wait an hour
    EXPECT_TRUE(rig.R.Events.Record().empty()); // the bytes were read at the wake-up
    rig.Pass(20ms);
    EXPECT_EQ(rig.R.Events.Record().size(), 1u);
    rig.R.Engine.Feed({0x55});
    rig.Pass(20ms);
    rig.Pass(20ms);
    EXPECT_EQ(rig.R.Events.Record().size(), 2u); // reported although the queue lost it
    EXPECT_EQ(rig.R.Take(), Counting(8));
    EXPECT_EQ(rig.R.Waiting(), 0u);
}
