#pragma once
// Starts the engine's worker threads. A worker is detached: the system
// releases it when it ends, and its owner learns of its end through flags
// of its own.

namespace OrvekComm32::Platform {

enum class TThreadPriority { Normal, Highest };

// Runs procedure(argument) on a new thread; false when the system refused
// the thread, with the reason as the thread's last system error. A raised
// priority is best effort.
bool StartWorkerThread(void (*procedure)(void*), void* argument, TThreadPriority priority);

// Gives the processor to another ready thread, if there is one.
void YieldProcessor();

} // namespace OrvekComm32::Platform
