// Not a test of the tool: a deliberate race that the ThreadSanitizer run must
// report. A worker thread writes a value that a timer handler, run by Qt's
// event loop, then reads with nothing ordering the two. Suppressions that
// match any Qt frame in a stack would hide this and every real race between
// the engine's threads and the window's handlers; CTest expects the report.
#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <thread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int unguarded = 0;
    // Relaxed: tells the handler when to look without ordering the accesses.
    std::atomic<bool> written {false};
    std::thread worker([&] {
        unguarded = 42;
        written.store(true, std::memory_order_relaxed);
    });

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!written.load(std::memory_order_relaxed))
            return;
        poll.stop();
        app.exit(unguarded == 42 ? 0 : 1);
    });
    poll.start(1);
    const int status = app.exec();
    worker.join();
    return status;
}
