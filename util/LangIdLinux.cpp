// The system default language on Linux: the locale environment's.
#include "Lx_base.h"

namespace TOrvekFuncs {

std::uint16_t SystemDefaultLangId()
{
    return LangIdFromLocaleEnvironment();
}

} // namespace TOrvekFuncs
