// The system default language on Windows, as the system reports it.
#include "Lx_base.h"

#include <windows.h>

namespace TOrvekFuncs {

std::uint16_t SystemDefaultLangId()
{
    return GetSystemDefaultLangID();
}

} // namespace TOrvekFuncs
