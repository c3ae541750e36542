#pragma once
// The command line of the controller simulator.
//
// Pure functions; any thread.

#include <optional>
#include <string>
#include <vector>

namespace ccsim {

struct TSimOptions {
    int ComNumber = 1;       // the port link directory entry COM<n> to register
    int Baud = 38400;        // the line speed set on the pty
    std::string DumpPath;    // the configuration as JSON after each download; empty for none
    bool Silent = false;     // never answer
    bool Garbage = false;    // answer with bytes that are not frames
    std::optional<int> DropAfter; // answer only the first N frames
    int DelayMs = 0;         // wait this long before each answer
};

struct TParseResult {
    TSimOptions Options;
    std::string Error; // the reason, when the command line was not understood
    std::string Help;  // the help text, when it was asked for
};

// Parses the arguments after the program name. Each option takes its
// value as the next argument or after "=" ("--port COM2", "--port=COM2").
TParseResult ParseOptions(const std::vector<std::string>& args);

// The line speeds the pty takes.
bool IsSupportedBaud(int baud);

std::string ComName(int comNumber);

} // namespace ccsim
