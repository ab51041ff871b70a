// The subcommands of rv_halftone. Each registers its options on the app and returns the function
// that runs it once the command line is parsed; that function returns the process exit status.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

using CommandRun = std::function<int()>;

CommandRun AddMaskCommand(CLI::App& app);
CommandRun AddPlanesCommand(CLI::App& app);
CommandRun AddVerifyCommand(CLI::App& app);
CommandRun AddOverlapCommand(CLI::App& app);
CommandRun AddRampCommand(CLI::App& app);
CommandRun AddSplitCommand(CLI::App& app);
CommandRun AddTestpageCommand(CLI::App& app);
CommandRun AddBandingCommand(CLI::App& app);
CommandRun AddDesignCommand(CLI::App& app);
