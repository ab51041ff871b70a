// How a command ends, and the head every --json report of split and testpage starts with:
// "command", "status", "reason" (exactly when the status is not "ok"), "record" (commands that take
// a parameter record, as given), "files" (paths written), then the command's own keys.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

enum class EStatus
{
    Ok,
    Refused,  // the library or the tool refused the input: a record, a page, an option value
    NotMet,   // a checked promise failed
    Error,    // a file could not be read or written
};

// Thrown inside a command for an input it refuses; the message says why, in numbers a user can
// act on.
class CommandRefusal : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Thrown when a file cannot be read or written; the message names it.
class FileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct SCommandOutcome
{
    EStatus status = EStatus::Ok;
    std::string reason;
    std::vector<std::string> files;
};

const char* StatusName(EStatus status);  // "ok", "refused", "not met", "error"
int ExitStatus(EStatus status);          // 0; 1 refused or not met; 2 a file

// The head of the report, `own` keys after it; `record` may be null.
nlohmann::ordered_json OutcomeJson(const char* command, const SCommandOutcome& outcome,
                                   const SMaskParam* record, const nlohmann::ordered_json& own);

// Says on the standard error stream how the command ended (`summary` when it went well; the status
// and the reason otherwise) and returns its exit status.
int Outcome_Finish(const char* command, const SCommandOutcome& outcome, const std::string& summary);

// Writes `size` bytes to a new file at `path`; throws FileError.
void WriteFileBytes(const std::string& path, const void* bytes, size_t size);
