#include "ParseHexBytes.h"

namespace {

bool IsTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// The white space that the C library's number conversions skip.
bool IsNumberSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsTrimmed(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Skips the white space and takes the sign; true for "-".
bool TakeSign(std::string_view& s)
{
    while (!s.empty() && IsNumberSpace(s.front()))
        s.remove_prefix(1);
    if (s.empty() || (s.front() != '+' && s.front() != '-'))
        return false;
    const bool negative = s.front() == '-';
    s.remove_prefix(1);
    return negative;
}

// Unsigned 32-bit arithmetic wraps, and the low 8 bits of a value depend
// only on the low 8 bits of each step, so the byte is that of the full
// value however long the token is.
std::uint8_t TokenByte(std::string_view token)
{
    const bool negative = TakeSign(token);
    if (token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.remove_prefix(2);
    std::uint32_t value = 0;
    for (char c : token) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

std::vector<std::uint8_t> ParseHexBytes(std::string_view text, std::size_t limit)
{
    std::vector<std::uint8_t> bytes;
    std::string_view rest = Trimmed(text);
    while (!rest.empty() && bytes.size() < limit) {
        std::string_view token = rest;
        const auto blank = rest.find(' ');
        if (blank != std::string_view::npos) {
            token = rest.substr(0, blank);
            rest = Trimmed(rest.substr(blank + 1));
        } else {
            rest = {};
        }
        bytes.push_back(TokenByte(token));
    }
    return bytes;
}

std::int32_t LeadingDecimalNumber(std::string_view text)
{
    const bool negative = TakeSign(text);
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}
