#pragma once
// Switches the process language for one test and restores it, so that
// texts can be checked in each of the three languages.

#include "Lx_base.h"

namespace testsupport {

class AppLangAs {
public:
    explicit AppLangAs(TOrvekFuncs::TLangType type) : Saved(TOrvekFuncs::AppLang)
    {
        TOrvekFuncs::AppLang.fSetLangType(type);
    }
    ~AppLangAs() { TOrvekFuncs::AppLang = Saved; }
    AppLangAs(const AppLangAs&) = delete;
    AppLangAs& operator=(const AppLangAs&) = delete;

private:
    TOrvekFuncs::TAppLang Saved;
};

} // namespace testsupport
