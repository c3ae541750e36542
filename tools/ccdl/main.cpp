// ccdl: the configuration download from the command line, for scripts and
// production lines. "ccdl download" downloads to one or more ports at once,
// one engine and one thread each; "ccdl ports" lists the serial ports.
//
// Exit status: 0 when every port finished, 1 when any port failed, 2 for a
// usage or input error (then no frame is sent).

#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "Lx_base.h"
#include "PortDownload.h"
#include "Settings.h"
#include "TCommSerialPortInfo.h"

namespace {

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

int ListPorts(bool json)
{
    OrvekComm32::TCommSerialPortInfo info;
    for (int i = 0; i < info.PortList->Count(); ++i) {
        const std::string name = info.PortList->Strings(i).c_str();
        if (json) {
            nlohmann::ordered_json port = {
                {"port", name}, {"device", info.DevicePath(i)}, {"description", info.Description(i)}};
            std::cout << port.dump() << '\n';
        } else {
            std::cout << name << '\t' << (info.DevicePath(i).empty() ? "-" : info.DevicePath(i)) << '\t'
                      << info.Description(i) << '\n';
        }
    }
    return ExitDone;
}

int Download(const ccdl::TDownloadSettings& settings)
{
    std::mutex logLock;
    const std::function<void(const std::string&)> log = [&logLock](const std::string& line) {
        std::lock_guard guard(logLock);
        std::cerr << line << std::endl;
    };
    std::vector<ccdl::TPortResult> results(settings.Ports.size());
    {
        std::vector<std::jthread> downloads;
        for (std::size_t i = 0; i < settings.Ports.size(); ++i)
            downloads.emplace_back([&, i] { results[i] = ccdl::RunDownload(settings.Ports[i], settings, log); });
    }
    int status = ExitDone;
    for (const auto& result : results) {
        std::cerr << result.Port << ": " << result.Message << '\n';
        if (settings.Json) {
            nlohmann::ordered_json json = {{"port", result.Port},
                                           {"result", result.Done ? "done" : "failed"},
                                           {"framesSent", result.FramesSent},
                                           {"elapsedMs", result.ElapsedMs},
                                           {"failingStep", nullptr},
                                           {"message", result.Message}};
            if (!result.Done)
                json["failingStep"] = result.FailingStep;
            std::cout << json.dump() << '\n';
        }
        if (!result.Done)
            status = ExitFailed;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // The same texts as the window's, in English: a log is read by whoever
    // runs the line, whatever the system's language.
    TOrvekFuncs::AppLang.fSetLangType(TOrvekFuncs::ltEnglish);
    const ccdl::TCommandLine command = ccdl::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    for (const auto& warning : command.Warnings)
        std::cerr << "ccdl: warning: " << warning << '\n';
    if (!command.Error.empty()) {
        std::cerr << "ccdl: " << command.Error << "\nRun with --help for more information.\n";
        return ExitUsage;
    }
    if (!command.Output.empty()) {
        std::cout << command.Output;
        return ExitDone;
    }
    if (command.Command == ccdl::TCommand::Ports)
        return ListPorts(command.Json);
    return Download(command.Download);
}
