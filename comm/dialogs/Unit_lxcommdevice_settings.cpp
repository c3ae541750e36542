#include "Lxcommdevice.h"

namespace OrvekComm32 {

// The port settings dialog is not built yet: report "not confirmed".
bool TLxCustomCommDevice::SettingsDialog(QObject*, bool)
{
    return false;
}

} // namespace OrvekComm32
