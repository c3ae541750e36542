#pragma once
// A pseudo-terminal registered as a COM name, for tests that talk to the
// engine through the same port names a user picks.
//
// PortDirectory makes a private port link directory and points
// CCDL_PORT_DIR at it for its lifetime. PtyPort is the simulator's own pty
// (raw, linked as "COMn", its slave end kept open so that the master never
// sees a hang-up between the engine's opens), driven by the test from the
// master end.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FrameText.h"
#include "SimPty.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class PortDirectory {
public:
    PortDirectory();
    ~PortDirectory();
    PortDirectory(const PortDirectory&) = delete;
    PortDirectory& operator=(const PortDirectory&) = delete;
    const std::string& Path() const { return Dir; }

private:
    std::string Dir;
    std::optional<std::string> Previous;
};

class PtyPort {
public:
    // Links COM<comNumber> in the current CCDL_PORT_DIR.
    explicit PtyPort(int comNumber);

    const std::string& SlavePath() const { return Pty->SlavePath(); }
    int MasterFd() const { return Pty ? Pty->MasterFd() : -1; }
    // The slave descriptor the test keeps: opened before the engine's, it
    // can read the line settings the engine applied.
    int SlaveFd() const { return Pty ? Pty->SlaveFd() : -1; }
    // The bit rate the engine set on the line.
    int Baud() const { return Pty ? Pty->CurrentBaud() : 0; }

    void Write(const Bytes& bytes);
    void Write(const std::string& text) { Write(Bytes(text.begin(), text.end())); }
    // Reads until `count` bytes arrived or none came for `quiet`; returns what came.
    Bytes ReadExactly(std::size_t count, std::chrono::milliseconds quiet = 5s);
    // True when nothing arrives within `window`.
    bool Silent(std::chrono::milliseconds window);

    // Closes both ends the test holds and removes the link, as an
    // unplugged device would.
    void Hangup() { Pty.reset(); }
    // Removes the COMn link (the port then no longer exists by name).
    void Unlink();

private:
    std::unique_ptr<ccsim::TSimPty> Pty;
};

} // namespace testsupport
