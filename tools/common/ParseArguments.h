#pragma once
// The one way the tools hand their arguments to CLI11.
//
// Pure function of its arguments; any thread.

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace tools {

struct TParsedArguments {
    enum TOutcome { Parsed, Help, Version, Refused } Outcome = Parsed;
    std::string Text; // the help text (Help) or the reason (Refused)
};

// Parses the arguments after the program name with `app`. The help text is
// that of the subcommand named, if one was, else the program's.
inline TParsedArguments ParseArguments(CLI::App& app, const std::vector<std::string>& args)
{
    // CLI11 takes its arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const auto subcommands = app.get_subcommands();
        return {TParsedArguments::Help, subcommands.empty() ? app.help() : subcommands.front()->help(app.get_name())};
    } catch (const CLI::CallForVersion&) {
        return {TParsedArguments::Version, {}};
    } catch (const CLI::ParseError& error) {
        return {TParsedArguments::Refused, error.what()};
    }
    return {};
}

} // namespace tools
