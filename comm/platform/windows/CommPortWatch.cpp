// Windows offers no descriptor to poll for ports that come and go, so the
// watch has none: the port list is read again only when asked for.
#include "TCommPortWatch.h"

namespace OrvekComm32 {

struct TCommPortWatch::TState {};

TCommPortWatch::TCommPortWatch() : State(std::make_unique<TState>()) {}

TCommPortWatch::TCommPortWatch(const Platform::TSerialPortSources&) : TCommPortWatch() {}

TCommPortWatch::~TCommPortWatch() = default;

int TCommPortWatch::Descriptor() const
{
    return -1;
}

bool TCommPortWatch::TakeChanges()
{
    return false;
}

} // namespace OrvekComm32
