#pragma once
// The message that tells the operator why the port could not be opened or
// closed: "LxCommDevice1: " and the library's text, then the system's reason
// when the engine kept one, then, for a permission problem, a hint about the
// device's group.
//
// Threads: window thread (the texts depend on the process language).

#include <QString>

class Exception;

QString DeviceFailureText(const Exception& error);
