#include "Options.h"

#include <charconv>
#include <string_view>

#include "LineSpeed.h"
#include "TCommSerialPortInfo.h"

namespace ccsim {
namespace {

constexpr int MaxDelayMs = 60000;

// A whole decimal number from `min` to `max`; nothing else accepted.
std::optional<int> ParseNumber(std::string_view text, int min, int max)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace

std::string UsageLine()
{
    return "usage: ccsim [--port COMn] [--baud RATE] [--dump FILE] [--silent | --garbage] "
           "[--drop-after N] [--delay MS]";
}

std::string HelpText()
{
    return UsageLine() + "\n"
           "Plays the controller of the configuration download on a pseudo-terminal.\n"
           "  --port COMn      register the pty as COMn in the port link directory (default COM1)\n"
           "  --baud RATE      line speed set on the pty (default 38400)\n"
           "  --dump FILE      write each received configuration to FILE as JSON\n"
           "  --silent         never answer\n"
           "  --garbage        answer every frame with bytes that are not a frame\n"
           "  --drop-after N   answer the first N frames only\n"
           "  --delay MS       wait MS milliseconds (0 to 60000) before each answer\n"
           "  --help           show this text\n";
}

bool IsSupportedBaud(int baud)
{
    return SpeedOfBaud(baud).has_value();
}

std::string ComName(int comNumber)
{
    return "COM" + std::to_string(comNumber);
}

TParseResult ParseOptions(const std::vector<std::string>& args)
{
    TParseResult result;
    TSimOptions& options = result.Options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (value) {
                result.Error = name + " takes no value";
                return;
            }
            target = true;
        };

        if (name == "--help" || name == "-h") {
            flag(options.Help);
        } else if (name == "--silent") {
            flag(options.Silent);
        } else if (name == "--garbage") {
            flag(options.Garbage);
        } else if (name == "--port" || name == "--baud" || name == "--dump" || name == "--drop-after" ||
                   name == "--delay") {
            const auto text = takeValue();
            if (!text) {
                result.Error = name + " needs a value";
            } else if (name == "--port") {
                options.ComNumber = OrvekComm32::TCommSerialPortInfo::PortNoOfDeviceName(text->c_str());
                if (options.ComNumber == 0)
                    result.Error = "--port wants a name COMn with n from 1, not \"" + *text + "\"";
            } else if (name == "--baud") {
                const auto baud = ParseNumber(*text, 1, 4000000);
                if (!baud || !IsSupportedBaud(*baud))
                    result.Error = "--baud: \"" + *text + "\" is not a line speed the pty takes "
                                   "(e.g. 4800, 9600, 19200, 38400, 57600, 115200)";
                else
                    options.Baud = *baud;
            } else if (name == "--dump") {
                if (text->empty())
                    result.Error = "--dump needs a file name";
                options.DumpPath = *text;
            } else if (name == "--drop-after") {
                options.DropAfter = ParseNumber(*text, 0, 1'000'000'000);
                if (!options.DropAfter)
                    result.Error = "--drop-after wants a number of frames, not \"" + *text + "\"";
            } else {
                const auto delay = ParseNumber(*text, 0, MaxDelayMs);
                if (!delay)
                    result.Error = "--delay wants milliseconds from 0 to 60000, not \"" + *text + "\"";
                else
                    options.DelayMs = *delay;
            }
        } else if (name.starts_with("-")) {
            result.Error = "unknown option " + name;
        } else {
            result.Error = "unexpected argument \"" + name + "\"";
        }
        if (!result.Error.empty())
            return result;
    }
    if (options.Silent && options.Garbage)
        result.Error = "--silent and --garbage exclude each other";
    return result;
}

} // namespace ccsim
