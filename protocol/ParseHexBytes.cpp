#include "ParseHexBytes.h"

#include "FrameText.h"

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

// What one token reads as: its byte, and what the reading left out.
struct TTokenValue {
    std::uint8_t Byte = 0;
    bool Negative = false;
    bool Digits = false;      // at least one hex digit
    bool Above = false;       // the digits' value exceeds FF
    std::size_t Stop = 0;     // offset of the character that ended the number; size when none
};

// Unsigned 32-bit arithmetic wraps, and the low 8 bits of a value depend
// only on the low 8 bits of each step, so the byte is that of the full
// value however long the token is.
TTokenValue ReadToken(std::string_view token)
{
    TTokenValue read;
    const std::size_t size = token.size();
    read.Negative = TakeSign(token);
    if (token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token.remove_prefix(2);
    std::uint32_t value = 0;
    std::size_t used = 0;
    for (; used < token.size(); ++used) {
        const int digit = HexDigitValue(token[used]);
        if (digit < 0)
            break;
        read.Above = read.Above || value > 0x0F;
        value = value * 16 + static_cast<std::uint32_t>(digit);
        read.Digits = true;
    }
    read.Stop = used < token.size() ? size - token.size() + used : size;
    if (read.Negative)
        value = 0u - value;
    read.Byte = static_cast<std::uint8_t>(value & 0xFF);
    return read;
}

// Cuts a text into tokens at blanks, the way ParseHexBytes reads it.
class TTokenizer {
public:
    explicit TTokenizer(std::string_view text) : Rest(Trimmed(text)) {}

    bool Next(std::string_view& token)
    {
        if (Rest.empty())
            return false;
        const auto blank = Rest.find(' ');
        token = Rest.substr(0, blank);
        Rest = blank == std::string_view::npos ? std::string_view() : Trimmed(Rest.substr(blank + 1));
        return true;
    }

private:
    std::string_view Rest;
};

std::string HexByte(std::uint8_t byte)
{
    return FrameText(std::span(&byte, 1));
}

std::string CharacterName(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code >= 0x7F ? "character 0x" + HexByte(code) : std::string("'") + c + "'";
}

} // namespace

std::vector<std::uint8_t> ParseHexBytes(std::string_view text, std::size_t limit)
{
    std::vector<std::uint8_t> bytes;
    TTokenizer tokens(text);
    std::string_view token;
    while (bytes.size() < limit && tokens.Next(token))
        bytes.push_back(ReadToken(token).Byte);
    return bytes;
}

std::vector<THexTokenNote> ChangedHexTokens(std::string_view text, std::size_t limit)
{
    std::vector<THexTokenNote> notes;
    TTokenizer tokens(text);
    std::string_view token;
    std::size_t count = 0;
    std::string firstLeftOver;
    while (tokens.Next(token)) {
        if (count++ >= limit) {
            if (firstLeftOver.empty())
                firstLeftOver = token;
            continue;
        }
        const TTokenValue read = ReadToken(token);
        const std::string gives = " and gives " + HexByte(read.Byte);
        std::string reason;
        if (!read.Digits)
            reason = "has no hexadecimal digits" + gives;
        else if (read.Stop < token.size())
            reason = "ends its number at " + CharacterName(token[read.Stop]) + gives;
        else if (read.Above)
            reason = "is above FF" + gives;
        else if (read.Negative && read.Byte != 0)
            reason = "is negative" + gives;
        if (!reason.empty())
            notes.push_back({std::string(token), reason});
    }
    if (count > limit)
        notes.push_back({firstLeftOver, "is the first of " + std::to_string(count - limit) + " token(s) beyond " +
                                            std::to_string(limit) + " bytes, which are not sent"});
    return notes;
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
