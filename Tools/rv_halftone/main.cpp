// rv_halftone: build, look at and check the pass masks of a print mode.
#include "Commands.h"
#include "ConsoleLog.h"

#include <Rv_Halftone/Rv_Halftone_Ext.h>

#include <CLI/CLI.hpp>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::string VersionText()
{
    return std::string("rv_halftone ") + RV_HALFTONE_TOOL_VERSION + "\nlibRv_Halftone " +
           rv_halftone_version() + "\nkernels " + rv_halftone_kernel_variant();
}

// The first word that is not an option names the command (the tool's own options take no
// values); CLI11 would only say that a command is missing.
const char* UnknownCommand(const CLI::App& app, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            continue;
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->get_name() == argv[i])
                return nullptr;
        return argv[i];
    }
    return nullptr;
}

// "mask, planes and verify": the commands as registered.
std::string CommandList(const CLI::App& app)
{
    const std::vector<const CLI::App*> commands = app.get_subcommands({});
    std::string list;
    for (size_t i = 0; i < commands.size(); ++i)
        list += (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") + commands[i]->get_name();
    return list;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"rv_halftone: pass masks of multi-pass inkjet printers.\n"
                 "Exit status: 0 ok; 1 the input was refused or a checked promise was not met; "
                 "2 a file could not be read or written; other values: bad options."};
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

    if (const char* unknown = UnknownCommand(app, argc, argv)) {
        std::cerr << "rv_halftone: unknown command '" << unknown << "'; the commands are "
                  << CommandList(app) << " (see rv_halftone --help)\n";
        return static_cast<int>(CLI::ExitCodes::ExtrasError);
    }
    CLI11_PARSE(app, argc, argv);
    AddConsoleLog(verbose);
    for (const CommandRun& run : commands) {
        const int status = run();
        if (status >= 0)
            return status;
    }
    return 2;
}
