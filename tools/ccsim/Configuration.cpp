#include "Configuration.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace ccsim {
namespace {

constexpr const char* SequenceNames[SequenceCount] = {"关 (off)", "开 (on)", "电脑 (computer)", "视频 (video)"};
constexpr const char* JsonKeys[SequenceCount] = {"off", "on", "computer", "video"};
constexpr const char* ParityNames[] = {"奇 (odd)", "偶 (even)", "无 (none)"};
constexpr const char* BaudNames[] = {"4800", "9600", "19200", "38400", "57600", "76800", "115200"};
constexpr std::uint8_t NoSelection = 0xFF;

template <std::size_t N>
std::string ItemMeaning(const char* const (&names)[N], std::uint8_t code)
{
    if (code < N)
        return names[code];
    return code == NoSelection ? "no selection" : "unknown";
}

std::string CodeText(std::optional<std::uint8_t> code, std::string (*meaning)(std::uint8_t))
{
    if (!code)
        return "not received";
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", *code);
    return std::string(hex) + " = " + meaning(*code);
}

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string JsonCode(std::optional<std::uint8_t> code)
{
    return code ? std::to_string(*code) : "null";
}

std::string JsonMeaning(std::optional<std::uint8_t> code, std::string (*meaning)(std::uint8_t))
{
    return code ? JsonString(meaning(*code)) : "null";
}

} // namespace

std::string SequenceName(int index)
{
    return SequenceNames[index];
}

std::string ParityMeaning(std::uint8_t code)
{
    return ItemMeaning(ParityNames, code);
}

std::string BaudMeaning(std::uint8_t code)
{
    return ItemMeaning(BaudNames, code);
}

std::string HexText(const Bytes& bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += Digits[byte >> 4];
        text += Digits[byte & 0x0F];
    }
    return text;
}

std::string ReadableText(const TConfiguration& configuration)
{
    std::string text = "configuration received:\n";
    for (int i = 0; i < SequenceCount; ++i) {
        const auto& sequence = configuration.Sequences[i];
        text += "  " + SequenceName(i) + ": ";
        if (!sequence)
            text += "not received";
        else
            text += sequence->empty() ? "(empty)" : HexText(*sequence) + " (" + std::to_string(sequence->size()) + " bytes)";
        text += '\n';
    }
    text += "  parity: " + CodeText(configuration.ParityCode, ParityMeaning) + '\n';
    text += "  baud:   " + CodeText(configuration.BaudCode, BaudMeaning) + '\n';
    return text;
}

std::string JsonText(const TConfiguration& configuration, const std::string& port)
{
    std::string json = "{\n  \"port\": " + JsonString(port);
    for (int i = 0; i < SequenceCount; ++i) {
        const auto& sequence = configuration.Sequences[i];
        json += ",\n  " + JsonString(JsonKeys[i]) + ": " + (sequence ? JsonString(HexText(*sequence)) : "null");
    }
    json += ",\n  \"parity\": " + JsonCode(configuration.ParityCode);
    json += ",\n  \"baud\": " + JsonCode(configuration.BaudCode);
    json += ",\n  \"parityText\": " + JsonMeaning(configuration.ParityCode, ParityMeaning);
    json += ",\n  \"baudText\": " + JsonMeaning(configuration.BaudCode, BaudMeaning);
    return json + "\n}\n";
}

std::optional<std::string> WriteFileWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return "cannot write " + temporary + ": " + std::strerror(errno);
        file << text;
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return "cannot write " + temporary;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + " to " + path + ": " + reason;
    }
    return std::nullopt;
}

} // namespace ccsim
