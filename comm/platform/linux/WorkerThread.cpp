#include "WorkerThread.h"

#include <algorithm>
#include <cerrno>
#include <sched.h>
#include <climits>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace OrvekComm32::Platform {
namespace {

// The workers run the owner's notify handlers (and, when events are not
// moved to the window thread, the user's handlers), so their stacks must
// hold more than the engine's own 2 KiB transfer buffer; the sanitizers'
// frames are larger still.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t WorkerStackSize = 2 * 1024 * 1024;
#else
constexpr std::size_t WorkerStackSize = 512 * 1024;
#endif

struct TStart {
    void (*Procedure)(void*);
    void* Argument;
    TThreadPriority Priority;
};

void* RunWorker(void* start)
{
    const TStart run = *static_cast<TStart*>(start);
    delete static_cast<TStart*>(start);
    if (run.Priority == TThreadPriority::Highest) {
        // Needs CAP_SYS_NICE for a raise above the process's level; without
        // it the thread keeps the normal level.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -10);
    }
    run.Procedure(run.Argument);
    return nullptr;
}

} // namespace

bool StartWorkerThread(void (*procedure)(void*), void* argument, TThreadPriority priority)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, std::max<std::size_t>(PTHREAD_STACK_MIN, WorkerStackSize));
    auto* start = new TStart{procedure, argument, priority};
    pthread_t thread;
    const int refused = pthread_create(&thread, &attributes, RunWorker, start);
    pthread_attr_destroy(&attributes);
    if (refused) {
        delete start;
        errno = refused;  // pthread reports through its result, the caller reads errno
    }
    return !refused;
}

void YieldProcessor()
{
    sched_yield();
}

} // namespace OrvekComm32::Platform
