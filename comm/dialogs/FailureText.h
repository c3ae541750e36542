#pragma once
// The text that tells the user why a call of the component failed: the
// library's message, then the system's reason when the engine kept one (a
// user who sees only "cannot open" cannot tell a missing device from a busy
// one), then, for a permission problem, a hint about the device's group.
// Anything else thrown gives its own text; an unknown exception none.
//
// Threads: window thread (the texts depend on the process language).

#include <exception>

#include <QString>

QString FailureText(const std::exception_ptr& failure);
