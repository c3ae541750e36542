#include "Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "ControllerFrame.h"
#include "ParseArguments.h"
#include "ParseHexBytes.h"
#include "TCommSerialPortInfo.h"

namespace ccdl {

const std::array<std::string, 4> DefaultSequences = {
    ControllerFrame::DefaultSequences[0], ControllerFrame::DefaultSequences[1], ControllerFrame::DefaultSequences[2],
    ControllerFrame::DefaultSequences[3]};
const std::array<std::string, 4> SequenceKeys = {"off", "on", "computer", "video"};

namespace {

using Json = nlohmann::json;

// The names of the window's list items, in item order.
template <std::size_t N>
std::vector<std::string> ItemNames(const ControllerFrame::TItem (&items)[N])
{
    std::vector<std::string> names;
    for (const auto& item : items)
        names.push_back(item.Name);
    return names;
}

const std::vector<std::string> ParityNames = ItemNames(ControllerFrame::ParityItems);
const std::vector<std::string> BaudNames = ItemNames(ControllerFrame::BaudItems);

// An input the user has to correct; becomes the one-line error message.
struct TInputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The code of an item name; "unset" stands for no item.
std::uint8_t ItemCode(const std::vector<std::string>& items, const std::string& name, const std::string& what)
{
    if (name == "unset")
        return ControllerFrame::NoItem;
    const auto found = std::find(items.begin(), items.end(), name);
    if (found == items.end())
        throw TInputError(what + ": \"" + name + "\" is none of " + CLI::detail::join(items, "|") + "|unset");
    return static_cast<std::uint8_t>(found - items.begin());
}

// A port name COMn, or a device path such as a stable /dev/serial/by-id/...
// link, or \\.\CNCA0 on Windows (any text with a slash or a backslash).
std::string PortChoice(const std::string& name)
{
    if (name.find_first_of("/\\") != std::string::npos)
        return name;
    const int number = OrvekComm32::TCommSerialPortInfo::PortNo(name);
    if (number <= 0 || name != OrvekComm32::TCommSerialPortInfo::PortName(number).c_str())
        throw TInputError("--port: \"" + name + "\" is neither a port name COMn nor a device path");
    return name;
}

// BAUD[,PARITY,BITS,STOP], e.g. "9600" or "9600,even,7,2".
TLine ParseLine(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');)
        parts.push_back(part);
    const std::string bad = "--line: \"" + text + "\" is not BAUD[,PARITY,BITS,STOP]";
    if (parts.size() != 1 && parts.size() != 4)
        throw TInputError(bad);
    TLine line;
    long baud = 0;
    if (!CLI::detail::lexical_cast(parts[0], baud) || baud <= 0 || baud > 4000000)
        throw TInputError(bad + " (bad BAUD)");
    line.Baud = static_cast<std::uint32_t>(baud);
    if (parts.size() == 1)
        return line;
    static const std::vector<std::string> parities = {"none", "odd", "even", "mark", "space"};
    static const std::vector<std::string> stops = {"1", "1.5", "2"};
    const auto parity = std::find(parities.begin(), parities.end(), parts[1]);
    const auto stop = std::find(stops.begin(), stops.end(), parts[3]);
    int bits = 0;
    if (parity == parities.end() || stop == stops.end() || !CLI::detail::lexical_cast(parts[2], bits) || bits < 5 ||
        bits > 8)
        throw TInputError(bad + " (PARITY none|odd|even|mark|space, BITS 5 to 8, STOP 1|1.5|2)");
    line.Parity = static_cast<std::uint8_t>(parity - parities.begin());
    line.ByteSize = static_cast<std::uint8_t>(bits);
    line.StopBits = static_cast<std::uint8_t>(stop - stops.begin());
    return line;
}

// A code as ccsim's dump writes it (a number) or as the options name it.
std::uint8_t CodeOfJson(const Json& value, const std::vector<std::string>& items, const std::string& what)
{
    if (value.is_number_unsigned() && value.get<unsigned>() <= 0xFF)
        return static_cast<std::uint8_t>(value.get<unsigned>());
    if (value.is_string())
        return ItemCode(items, value.get<std::string>(), what);
    throw TInputError(what + ": wants a code from 0 to 255 or a name");
}

// The settings of a --config file, over the defaults; the command line
// then goes over them. Keys that ccsim --dump writes for people to read
// ("parityText", "baudText") are skipped; any other unknown key is an error.
void ReadConfig(const std::string& path, TDownloadSettings& settings)
{
    std::ifstream file(path);
    if (!file)
        throw TInputError("--config: cannot read " + path + ": " + std::strerror(errno));
    Json json;
    try {
        json = Json::parse(file);
    } catch (const Json::exception& error) {
        throw TInputError("--config: " + path + " is not JSON: " + error.what());
    }
    if (!json.is_object())
        throw TInputError("--config: " + path + " holds no JSON object");
    const std::string where = "--config " + path;
    for (const auto& [key, value] : json.items()) {
        const std::string what = where + ": \"" + key + "\"";
        const auto sequence = std::find(SequenceKeys.begin(), SequenceKeys.end(), key);
        if (sequence != SequenceKeys.end()) {
            if (value.is_string())
                settings.Sequences[static_cast<std::size_t>(sequence - SequenceKeys.begin())] = value.get<std::string>();
            else if (!value.is_null()) // null: the simulator did not receive it
                throw TInputError(what + " wants hex text");
        } else if (key == "parity") {
            settings.ParityCode = CodeOfJson(value, ParityNames, what);
        } else if (key == "baud") {
            settings.BaudCode = CodeOfJson(value, BaudNames, what);
        } else if (key == "port" || key == "ports") {
            settings.Ports.clear();
            for (const auto& port : value.is_array() ? value : Json::array({value})) {
                if (!port.is_string())
                    throw TInputError(what + " wants port names");
                settings.Ports.push_back(PortChoice(port.get<std::string>()));
            }
        } else if (key == "line" && value.is_string()) {
            settings.Line = ParseLine(value.get<std::string>());
        } else if (key == "timeout" && value.is_number() && value.get<double>() > 0) {
            settings.TimeoutSeconds = value.get<double>();
        } else if (key == "retries" && value.is_number_unsigned()) {
            settings.Retries = value.get<int>();
        } else if (key != "parityText" && key != "baudText") {
            throw TInputError(what + " is not a setting or has the wrong type");
        }
    }
}

void CheckSequences(TCommandLine& result)
{
    const auto& settings = result.Download;
    for (std::size_t i = 0; i < settings.Sequences.size(); ++i)
        for (const auto& note : ChangedHexTokens(settings.Sequences[i], ControllerFrame::MaxData))
            result.Warnings.push_back(SequenceKeys[i] + " sequence: \"" + note.Token + "\" " + note.Reason);
    if (settings.Strict && !result.Warnings.empty())
        result.Error = result.Warnings.front() + " (refused under --strict)";
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine result;
    TDownloadSettings& settings = result.Download;
    settings.Sequences = DefaultSequences;

    CLI::App app("Downloads configurations into central controllers over serial lines.", "ccdl");
    const std::string version = "ccdl " CCDL_VERSION;
    app.set_version_flag("--version", version);
    app.require_subcommand(1, 1);

    auto* download = app.add_subcommand("download", "download the configuration to each port at the same time");
    download->set_version_flag("--version", version);
    std::vector<std::string> ports;
    std::string config, parity, baud, line;
    std::array<std::string, 4> sequences;
    double timeout = 0;
    int retries = 0;
    download->add_option("--port", ports, "a port to download to, once per port (default COM1)")
        ->type_name("COMn")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    download->add_option("--config", config, "JSON file with the settings (ccsim --dump output is accepted)")
        ->type_name("FILE");
    const char* labels[] = {"关 (off) sequence, command 04", "开 (on) sequence, command 05",
                            "电脑 (computer) sequence, command 06", "视频 (video) sequence, command 07"};
    for (std::size_t i = 0; i < sequences.size(); ++i)
        download->add_option("--" + SequenceKeys[i], sequences[i], labels[i] + std::string(" (default ") +
                                                                       DefaultSequences[i] + ")")
            ->type_name("HEX");
    download->add_option("--parity", parity, "parity item of the controller (default none)")
        ->type_name("odd|even|none|unset");
    download->add_option("--baud", baud, "baud item of the controller (default unset)")
        ->type_name("4800|9600|19200|38400|57600|76800|115200|unset");
    download->add_option("--line", line, "line of the port (default 38400,none,8,1)")
        ->type_name("BAUD[,PARITY,BITS,STOP]");
    download->add_option("--timeout", timeout, "seconds to wait for each answer (default 2)")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    download->add_option("--retries", retries, "times each frame is sent again after a time-out (default 2)")
        ->type_name("N")
        ->check(CLI::Range(0, 1000));
    download->add_flag("--json", settings.Json, "one JSON object per port on standard output");
    download->add_flag("--strict", settings.Strict, "refuse hex tokens the window would silently change");

    auto* portsCommand = app.add_subcommand("ports", "list the serial ports with their devices");
    portsCommand->set_version_flag("--version", version);
    portsCommand->add_flag("--json", result.Json, "one JSON object per port");

    const tools::TParsedArguments parsed = tools::ParseArguments(app, args);
    switch (parsed.Outcome) {
    case tools::TParsedArguments::Parsed: break;
    case tools::TParsedArguments::Help: result.Output = parsed.Text; return result;
    case tools::TParsedArguments::Version: result.Output = version + "\n"; return result;
    case tools::TParsedArguments::Refused: result.Error = parsed.Text; return result;
    }
    if (portsCommand->parsed()) {
        result.Command = TCommand::Ports;
        return result;
    }
    result.Command = TCommand::Download;
    try {
        if (!config.empty())
            ReadConfig(config, settings);
        if (!ports.empty()) {
            settings.Ports.clear();
            for (const auto& port : ports)
                settings.Ports.push_back(PortChoice(port));
        }
        if (settings.Ports.empty())
            settings.Ports.push_back("COM1");
        auto sorted = settings.Ports;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
            throw TInputError("--port: a port is named twice");
        for (std::size_t i = 0; i < sequences.size(); ++i)
            if (download->count("--" + SequenceKeys[i]) > 0)
                settings.Sequences[i] = sequences[i];
        if (download->count("--parity") > 0)
            settings.ParityCode = ItemCode(ParityNames, parity, "--parity");
        if (download->count("--baud") > 0)
            settings.BaudCode = ItemCode(BaudNames, baud, "--baud");
        if (download->count("--line") > 0)
            settings.Line = ParseLine(line);
        if (download->count("--timeout") > 0)
            settings.TimeoutSeconds = timeout;
        if (download->count("--retries") > 0)
            settings.Retries = retries;
    } catch (const TInputError& error) {
        result.Error = error.what();
        return result;
    }
    CheckSequences(result);
    return result;
}

} // namespace ccdl
