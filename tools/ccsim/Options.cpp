#include "Options.h"

#include <CLI/CLI.hpp>

#include "ParseArguments.h"
#include "TCommSerialPortInfo.h"

namespace ccsim {
namespace {

constexpr int MaxDelayMs = 60000;

} // namespace

// A pty takes any rate; these are the bounds of the rates serial drivers offer.
bool IsSupportedBaud(int baud)
{
    return baud >= 50 && baud <= 4000000;
}

std::string ComName(int comNumber)
{
    return "COM" + std::to_string(comNumber);
}

TParseResult ParseOptions(const std::vector<std::string>& args)
{
    TParseResult result;
    TSimOptions& options = result.Options;
    CLI::App app("Plays the controller of the configuration download on a pseudo-terminal.", "ccsim");
    std::string port = ComName(options.ComNumber);
    int dropAfter = 0;

    app.add_option("--port", port, "register the pty as COMn in the port link directory")
        ->type_name("COMn")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& text) {
                return OrvekComm32::TCommSerialPortInfo::PortNoOfDeviceName(text.c_str()) > 0
                           ? std::string()
                           : "wants a name COMn with n from 1, not \"" + text + "\"";
            },
            "", "port name"));
    app.add_option("--baud", options.Baud, "line speed set on the pty")
        ->type_name("RATE")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& text) {
                int baud = 0;
                return CLI::detail::lexical_cast(text, baud) && IsSupportedBaud(baud)
                           ? std::string()
                           : "\"" + text + "\" is not a line speed from 50 to 4000000";
            },
            "", "line speed"));
    app.add_option("--dump", options.DumpPath, "write each received configuration to FILE as JSON")
        ->type_name("FILE")
        ->check(CLI::Validator([](std::string& text) { return text.empty() ? "needs a file name" : ""; }, "",
                               "file name"));
    auto* silent = app.add_flag("--silent", options.Silent, "never answer");
    app.add_flag("--garbage", options.Garbage, "answer every frame with bytes that are not a frame")->excludes(silent);
    app.add_option("--drop-after", dropAfter, "answer the first N frames only")
        ->type_name("N")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--delay", options.DelayMs, "wait MS milliseconds before each answer")
        ->type_name("MS")
        ->check(CLI::Range(0, MaxDelayMs));

    const tools::TParsedArguments parsed = tools::ParseArguments(app, args);
    if (parsed.Outcome == tools::TParsedArguments::Help) {
        result.Help = parsed.Text;
        return result;
    }
    if (parsed.Outcome != tools::TParsedArguments::Parsed) {
        result.Error = parsed.Text;
        return result;
    }
    options.ComNumber = OrvekComm32::TCommSerialPortInfo::PortNoOfDeviceName(port.c_str());
    if (app.count("--drop-after") > 0)
        options.DropAfter = dropAfter;
    return result;
}

} // namespace ccsim
