#include "TextFile.h"

#include <fstream>

namespace OrvekComm32::Platform {

std::string ReadFirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    constexpr const char* blanks = " \t\r\n";
    const auto first = line.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const auto last = line.find_last_not_of(blanks);
    return line.substr(first, last - first + 1);
}

} // namespace OrvekComm32::Platform
