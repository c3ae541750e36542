#pragma once
// What ccdl is asked to do: its command line and the JSON configuration
// file that --config names.
//
// Pure functions; any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ccdl {

// The line the port is opened with, in the engine's codes.
struct TLine {
    std::uint32_t Baud = 38400;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t ByteSize = 8; // 5 to 8
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
};

struct TDownloadSettings {
    std::vector<std::string> Ports;           // "COMn" names or device paths, each once
    std::array<std::string, 4> Sequences;     // hex texts of commands 4 to 7
    std::uint8_t ParityCode = 0x02;           // "无"; the codes are the window's item positions
    std::uint8_t BaudCode = 0xFF;             // no baud item picked
    TLine Line;
    double TimeoutSeconds = 2.0;
    int Retries = 2;
    bool Json = false;
    bool Strict = false;
};

enum class TCommand { None, Download, Ports };

struct TCommandLine {
    TCommand Command = TCommand::None;
    TDownloadSettings Download;
    bool Json = false;       // for ports
    std::string Output;      // help or version text to print, exit 0
    std::string Error;       // usage or input error, exit 2
    std::vector<std::string> Warnings; // hex tokens the window would change
};

// The texts of the window's four edits as it starts.
extern const std::array<std::string, 4> DefaultSequences;
// "off", "on", "computer", "video": the names of the four sequences.
extern const std::array<std::string, 4> SequenceKeys;

// Parses the arguments after the program name; reads the --config file.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

} // namespace ccdl
