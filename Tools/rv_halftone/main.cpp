// rv_halftone: build, look at and check the pass masks of a print mode.
#include "Commands.h"
#include "ConsoleLog.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    CLI::App app{"rv_halftone: pass masks of multi-pass inkjet printers"};
    app.require_subcommand(1);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "also show the library's progress records");

    std::vector<CommandRun> commands;
    commands.push_back(AddMaskCommand(app));
    commands.push_back(AddPlanesCommand(app));
    commands.push_back(AddVerifyCommand(app));
    commands.push_back(AddOverlapCommand(app));
    commands.push_back(AddRampCommand(app));
    commands.push_back(AddBandingCommand(app));

    CLI11_PARSE(app, argc, argv);
    AddConsoleLog(verbose);
    // A folder that cannot be written, a full disk: said plainly, with a status of its own.
    try {
        for (const CommandRun& run : commands) {
            const int status = run();
            if (status >= 0)
                return status;
        }
    } catch (const std::exception& error) {
        std::cerr << "rv_halftone " << app.get_subcommands().front()->get_name() << ": "
                  << error.what() << "\n";
    }
    return 2;
}
