#include "Configuration.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "ControllerFrame.h"
#include "FrameText.h"

namespace ccsim {
namespace {

constexpr const char* SequenceNames[SequenceCount] = {"关 (off)", "开 (on)", "电脑 (computer)", "视频 (video)"};
constexpr const char* JsonKeys[SequenceCount] = {"off", "on", "computer", "video"};

template <std::size_t N>
std::string ItemMeaning(const ControllerFrame::TItem (&items)[N], std::uint8_t code)
{
    if (code >= N)
        return code == ControllerFrame::NoItem ? "no selection" : "unknown";
    const auto& item = items[code];
    return item.Label == std::string_view(item.Name) ? item.Name : std::string(item.Label) + " (" + item.Name + ")";
}

std::string CodeText(std::optional<std::uint8_t> code, std::string (*meaning)(std::uint8_t))
{
    if (!code)
        return "not received";
    return FrameText(std::span(&*code, 1)) + " = " + meaning(*code);
}

} // namespace

std::string SequenceName(int index)
{
    return SequenceNames[index];
}

std::string ParityMeaning(std::uint8_t code)
{
    return ItemMeaning(ControllerFrame::ParityItems, code);
}

std::string BaudMeaning(std::uint8_t code)
{
    return ItemMeaning(ControllerFrame::BaudItems, code);
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
            text += sequence->empty() ? "(empty)" : FrameText(*sequence) + " (" + std::to_string(sequence->size()) + " bytes)";
        text += '\n';
    }
    text += "  parity: " + CodeText(configuration.ParityCode, ParityMeaning) + '\n';
    text += "  baud:   " + CodeText(configuration.BaudCode, BaudMeaning) + '\n';
    return text;
}

std::string JsonText(const TConfiguration& configuration, const std::string& port)
{
    nlohmann::ordered_json json;
    json["port"] = port;
    for (int i = 0; i < SequenceCount; ++i) {
        const auto& sequence = configuration.Sequences[i];
        json[JsonKeys[i]] = sequence ? nlohmann::ordered_json(FrameText(*sequence)) : nullptr;
    }
    auto code = [](std::optional<std::uint8_t> value) { return value ? nlohmann::ordered_json(*value) : nullptr; };
    auto meaning = [](std::optional<std::uint8_t> value, std::string (*text)(std::uint8_t)) {
        return value ? nlohmann::ordered_json(text(*value)) : nullptr;
    };
    json["parity"] = code(configuration.ParityCode);
    json["baud"] = code(configuration.BaudCode);
    json["parityText"] = meaning(configuration.ParityCode, ParityMeaning);
    json["baudText"] = meaning(configuration.BaudCode, BaudMeaning);
    return json.dump(2) + "\n";
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
