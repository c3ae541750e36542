#pragma once
// The frames the tool sends for its default configuration, one download
// from the link request to the link done, each with the code the controller
// must answer it with.

#include <cstdint>
#include <utility>
#include <vector>

namespace ccsimtest {

using Bytes = std::vector<std::uint8_t>;

inline const std::vector<std::pair<Bytes, std::uint8_t>> DefaultDownload = {
    {{0x7E, 0x01, 0x00, 0x02}, 2},
    {{0x7E, 0x05, 0x00, 0x04, 1, 2, 3, 4}, 4},
    {{0x7E, 0x06, 0x00, 0x05, 1, 2, 3, 4, 5}, 5},
    {{0x7E, 0x07, 0x00, 0x06, 1, 2, 3, 4, 6, 8}, 6},
    {{0x7E, 0x08, 0x00, 0x07, 1, 2, 3, 4, 5, 6, 7}, 7},
    {{0x7E, 0x03, 0x00, 0x08, 0x02, 0xFF}, 8},
    {{0x7E, 0x01, 0x00, 0x03}, 3},
};

} // namespace ccsimtest
