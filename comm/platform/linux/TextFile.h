#pragma once
// Small text files of the port sources: link directory entries and sysfs
// attributes, both one value on their first line.

#include <string>

namespace OrvekComm32::Platform {

// The first line of the file with surrounding blanks removed; empty when the
// file cannot be read.
std::string ReadFirstLine(const std::string& path);

} // namespace OrvekComm32::Platform
