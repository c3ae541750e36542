// FromGBK on a traditional-Chinese process: the result always has as many
// bytes as the input, and bytes that cannot start a double-byte pair pass
// unchanged.
#include <cstdint>
#include <cstdlib>

#include "Lx_base.h"

using namespace TOrvekFuncs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TAppLang big5(0x0404);
    const TOrvekString input(reinterpret_cast<const char*>(data), size);
    const TOrvekString output = big5.FromGBK(input);
    if (output.Length() != input.Length())
        std::abort();
    for (std::size_t i = 0; i < size;) {
        const bool pair = i + 1 < size && input[i] >= 0x81 && input[i] <= 0xFE && input[i + 1] >= 0x40 &&
                          input[i + 1] <= 0xFE;
        if (!pair && output[i] != input[i])
            std::abort();
        i += pair ? 2 : 1;
    }
    return 0;
}
