#include "WorkerThread.h"

#include <windows.h>

// <windows.h> has a macro of this name (the processor's pause hint); the
// layer's function gives the processor to another thread instead.
#undef YieldProcessor

namespace OrvekComm32::Platform {
namespace {

// The workers run the owner's notify handlers, so their stacks must hold
// more than the engine's own 2 KiB transfer buffer.
constexpr SIZE_T WorkerStackSize = 512 * 1024;

struct TStart {
    void (*Procedure)(void*);
    void* Argument;
};

DWORD WINAPI RunWorker(LPVOID start)
{
    const TStart run = *static_cast<TStart*>(start);
    delete static_cast<TStart*>(start);
    run.Procedure(run.Argument);
    return 0;
}

} // namespace

bool StartWorkerThread(void (*procedure)(void*), void* argument, TThreadPriority priority)
{
    auto* start = new TStart{procedure, argument};
    HANDLE thread = CreateThread(nullptr, WorkerStackSize, RunWorker, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        const DWORD refused = GetLastError();
        delete start;
        SetLastError(refused);  // the caller reads the reason after this returns
        return false;
    }
    if (priority == TThreadPriority::Highest)
        SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    // Detached: the thread ends on its own and the system releases it then.
    CloseHandle(thread);
    return true;
}

void YieldProcessor()
{
    Sleep(0);
}

} // namespace OrvekComm32::Platform
