#pragma once
// A pseudo-terminal registered as a COM name, for tests that talk to the
// engine through the same port names a user picks.
//
// PortDirectory makes a private port link directory and points
// CCDL_PORT_DIR at it for its lifetime. PtyPort opens a pty pair in raw
// mode, links "COMn" in that directory to the slave device, and lets the
// test drive the master end. The test keeps a slave descriptor open so that
// the master end never sees a hang-up between the engine's opens.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FrameText.h"

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
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int ComNumber() const { return Com; }
    const std::string& SlavePath() const { return Slave; }
    int MasterFd() const { return Master; }
    // The slave descriptor the test keeps: opened before the engine's, it
    // can read the line settings the engine applied.
    int SlaveFd() const { return SlaveKeeper; }

    void Write(const Bytes& bytes);
    void Write(const std::string& text) { Write(Bytes(text.begin(), text.end())); }
    // Reads until `count` bytes arrived or none came for `quiet`; returns what came.
    Bytes ReadExactly(std::size_t count, std::chrono::milliseconds quiet = 5s);
    // True when nothing arrives within `window`.
    bool Silent(std::chrono::milliseconds window);

    // Closes both ends the test holds, as an unplugged device would.
    void Hangup();
    // Removes the COMn link (the port then no longer exists by name).
    void Unlink();

private:
    int Com;
    int Master = -1;
    int SlaveKeeper = -1;
    std::string Slave;
    std::string Link;
};

inline std::string Hex(const Bytes& bytes)
{
    return FrameText(bytes);
}

} // namespace testsupport
