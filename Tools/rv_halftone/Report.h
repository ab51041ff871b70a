// The one shape of every command's report. With --json a command prints one JSON object:
//   "command"   the command's name;
//   "status"    "ok", "refused" (the library or the tool refused the input; "reason" says why),
//               "not met" (a checked promise failed), "error" (a file could not be read or
//               written) or "usage error" (the command line does not parse);
//   "reason"    present exactly when the status is not "ok";
//   "record"    for commands that take a parameter record: its thirteen fields, as given (not on
//               a usage error: nothing was read then);
//   "files"     the paths written (an empty list when none);
//   "warnings"  options given that change nothing, and the like (an empty list when none);
// then the command's own keys, in the order the command adds them. Exit status: 0 ok, 1 refused or
// not met, 2 error or usage error.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

enum class EReportStatus
{
    Ok,
    Refused,
    NotMet,
    Error,
    UsageError,
};

// Thrown inside a command's body for an input it refuses, where returning would be awkward (deep in
// reading a page); the message says why, in numbers a user can act on. Any other exception is a
// file that could not be read or written.
class CommandRefusal : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct SReport
{
    std::string command;
    EReportStatus status = EReportStatus::Ok;
    std::string reason;
    bool hasRecord = false;  // the command takes a record: "record" is reported
    // The record is packed (1-byte aligned, as hosts bind it); held on a 4-byte boundary, its
    // int32 fields are aligned too, and may be bound to references.
    alignas(4) SMaskParam record{};
    std::vector<std::string> files;
    std::vector<std::string> warnings;
    nlohmann::ordered_json own = nlohmann::ordered_json::object();  // the command's own keys

    void TakeRecord(const SMaskParam& param);  // sets record and hasRecord
    void Refuse(std::string why);
    void NotMet(std::string why);
    // Keeps a warning for the JSON report and prints it on the standard error stream at once.
    void Warn(const std::string& warning);
};

nlohmann::ordered_json ReportToJson(const SReport& report);
int ExitStatus(EReportStatus status);

// Runs a command: `body` fills the report and, in text mode, prints its text. A CommandRefusal
// thrown by it becomes status "refused", any other exception (a file that cannot be read or
// written) status "error"; what the body put in the report before stays. Then the JSON object is
// printed (with `json`), a reason goes to the standard error stream, and a standard output that
// could not be written is an error too. Returns the exit status; no exception leaves it.
int RunReported(const char* command, bool json, const std::function<void(SReport&)>& body);

// A warning found while the command line was read, before the command runs (an option given
// that changes nothing): the next RunReported reports it.
void NoteWarning(const std::string& warning);

// A fault found while the command line was read (a --record file that cannot be read or is
// refused): the next RunReported reports it as the command's outcome, as though the command had
// thrown it, and does not run the command.
void NoteFault(std::exception_ptr fault);

// A command line that does not parse: the reason on the standard error stream and, with `json`,
// the report with status "usage error". Returns the exit status (2).
int ReportUsageError(const std::string& command, bool json, const std::string& reason);

// The run function of a command reported in this shape (see Commands.h): -1 when `command` was not
// the one given, else RunReported with its name. `json` is read when it runs.
std::function<int()> ReportedRun(const CLI::App* command, const bool& json,
                                 std::function<void(SReport&)> body);
