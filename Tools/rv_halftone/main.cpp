// rv_halftone: build, look at and check the pass masks of a print mode.
#include "CommandLine.h"
#include "Commands.h"
#include "ConsoleLog.h"
#include "Report.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <CLI/CLI.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string VersionText()
{
    return std::string("rv_halftone ") + RV_HALFTONE_TOOL_VERSION + "\nlibRv_Halftone " +
           rv_halftone_version() + "\nkernels " + rv_halftone_kernel_variant();
}

// What is known of a command line before it is parsed, so that a line that does not parse is
// still reported for its command, and as JSON when --json was asked for.
struct SCommandWords
{
    std::string command;  // the first word that is not an option (the tool's options take no
                          // values); empty when there is none
    bool json = false;
};

SCommandWords CommandWords(int argc, char** argv)
{
    SCommandWords words;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            words.json = true;
        else if (argv[i][0] != '-' && words.command.empty())
            words.command = argv[i];
    }
    return words;
}

std::vector<std::string> CommandNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({}))
        names.push_back(command->get_name());
    return names;
}

// "mask, planes and verify"
std::string ListText(const std::vector<std::string>& names)
{
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return list;
}

// The option names a command takes ("--nozzle-count", "-v"), the tool's own ones included.
std::vector<std::string> OptionNames(const CLI::App& app, const CLI::App* command)
{
    std::vector<std::string> names;
    for (const CLI::App* owner : {&app, command}) {
        if (owner == nullptr)
            continue;
        for (const CLI::Option* option : owner->get_options()) {
            for (const std::string& name : option->get_lnames())
                names.push_back("--" + name);
            for (const std::string& name : option->get_snames())
                names.push_back("-" + name);
        }
    }
    return names;
}

// Why the command line does not parse: CLI11's words, then a suggestion for every option that the
// command does not know and that is close to one it does.
std::string UsageReason(const CLI::ParseError& error, const CLI::App& app,
                        const CLI::App* command, int argc, char** argv)
{
    std::string reason = error.what();
    const std::vector<std::string> known = OptionNames(app, command);
    for (int i = 1; i < argc; ++i) {
        const std::string word(argv[i]);
        if (word.rfind("--", 0) != 0)
            continue;
        const std::string name = word.substr(0, word.find('='));
        const std::string nearest = NearestName(name, known);
        if (!nearest.empty() && nearest != name)
            reason += "; " + name + ": did you mean " + nearest + "?";
    }
    const std::string help = command == nullptr ? "rv_halftone --help"
                                                : "rv_halftone " + command->get_name() + " --help";
    return reason + " (see " + help + ")";
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything asks the library: even the choice of its kernels may write a record.
    RouteLibraryRecordsToStandardError();

    CLI::App app{"rv_halftone: pass masks of multi-pass inkjet printers.\n"
                 "Exit status: 0 ok; 1 the input was refused or a checked promise was not met; "
                 "2 a file could not be read or written, or the command line does not parse.",
                 "rv_halftone"};
    // A repeated option takes its last value, as in most tools.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionText(),
                         "print the tool's and the library's versions "
                         "and the kernels in use, then exit");
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "also show the library's progress records");
    // The tool's options may follow the command too: "rv_halftone mask -v".
    app.fallthrough();

    std::vector<CommandRun> commands;
    commands.push_back(AddMaskCommand(app));
    commands.push_back(AddPlanesCommand(app));
    commands.push_back(AddVerifyCommand(app));
    commands.push_back(AddOverlapCommand(app));
    commands.push_back(AddRampCommand(app));
    commands.push_back(AddSplitCommand(app));
    commands.push_back(AddTestpageCommand(app));
    commands.push_back(AddBandingCommand(app));
    commands.push_back(AddDesignCommand(app));

    const SCommandWords words = CommandWords(argc, argv);
    const std::vector<std::string> names = CommandNames(app);
    const CLI::App* command = nullptr;
    for (const CLI::App* candidate : app.get_subcommands({}))
        if (candidate->get_name() == words.command)
            command = candidate;
    if (command == nullptr && !words.command.empty()) {
        const std::string nearest = NearestName(words.command, names);
        return ReportUsageError(words.command, words.json,
                                "unknown command '" + words.command + "'" +
                                    (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
                                    " The commands are " + ListText(names) +
                                    " (see rv_halftone --help)");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end the parse too, with status 0.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(error);
        return ReportUsageError(words.command, words.json,
                                UsageReason(error, app, command, argc, argv));
    }
    if (verbose)
        ShowProgressRecords();
    for (const CommandRun& run : commands) {
        const int status = run();
        if (status >= 0)
            return status;
    }
    return ExitStatus(EReportStatus::Error);
}
