// Which language's texts the system can show: the converters each needs.
#include "Lx_base.h"

#include <ostream>

namespace TOrvekFuncs {

TLangType UsableLangType(TLangType type, std::ostream& err, bool (*opens)(const char* to, const char* from))
{
    if (type != ltGbk && type != ltBig5)
        return type;
    struct Pair { const char* to; const char* from; };
    const Pair needed[] = {{"GBK", "UTF-8"}, {"UTF-8", "GBK"}, {"UTF-8", "BIG5"}};
    const std::size_t count = type == ltBig5 ? 3 : 2;
    for (std::size_t i = 0; i < count; ++i) {
        if (!opens(needed[i].to, needed[i].from)) {
            err << "The character set converter from " << needed[i].from << " to " << needed[i].to
                << " cannot be opened; the texts are shown in English.\n";
            return ltEnglish;
        }
    }
    return type;
}

} // namespace TOrvekFuncs
