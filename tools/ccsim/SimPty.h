#pragma once
// The simulator's end of the line: a pseudo-terminal in raw mode at the
// given speed, registered as COM<n> in the port link directory.
//
// The simulator keeps a descriptor of the slave side open for its whole
// life, so the master never sees a hang-up while the tool closes and
// reopens the port. The link is removed on destruction, unless something
// else has replaced it meanwhile.
//
// Threads: one object per thread; the descriptors may be polled from the
// owning thread only.

#include <string>

namespace ccsim {

class TSimPty {
public:
    // Throws std::runtime_error with the reason when the pty cannot be
    // made or COM<n> is already linked to a device that exists.
    TSimPty(int comNumber, int baud);
    ~TSimPty();
    TSimPty(const TSimPty&) = delete;
    TSimPty& operator=(const TSimPty&) = delete;

    int MasterFd() const { return Master; }
    const std::string& SlavePath() const { return Slave; }
    const std::string& LinkPath() const { return Link; }
    int SlaveFd() const { return SlaveKeeper; }

    // The speed the line runs at now, in bits per second: the tool sets
    // its own when it opens the port. 0 when it cannot be read.
    int CurrentBaud() const;

private:
    void _Register();
    void _Unregister();

    int Master = -1;
    int SlaveKeeper = -1;
    std::string Slave;
    std::string Link;
};

} // namespace ccsim
