#include "Report.h"

#include "RecordOptions.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <utility>
#include <iostream>

namespace {

const char* StatusName(EReportStatus status)
{
    switch (status) {
    case EReportStatus::Ok: return "ok";
    case EReportStatus::Refused: return "refused";
    case EReportStatus::NotMet: return "not met";
    case EReportStatus::Error: return "error";
    case EReportStatus::UsageError: return "usage error";
    }
    return "error";
}

// Both streams the commands print with, flushed: a full disk or a closed pipe shows only here.
bool StandardOutputWritten()
{
    std::cout.flush();
    return std::cout.good() && std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

// "rv_halftone mask", or "rv_halftone" for a command line without a command.
std::string Speaker(const std::string& command)
{
    return command.empty() ? "rv_halftone" : "rv_halftone " + command;
}

// Warnings noted before the command's report exists.
std::vector<std::string>& PendingWarnings()
{
    static std::vector<std::string> warnings;
    return warnings;
}

// A fault noted before the command's report exists; null when none.
std::exception_ptr& PendingFault()
{
    static std::exception_ptr fault;
    return fault;
}

}  // namespace

void NoteWarning(const std::string& warning) { PendingWarnings().push_back(warning); }

void NoteFault(std::exception_ptr fault) { PendingFault() = std::move(fault); }

void SReport::Warn(const std::string& warning)
{
    // Once: pictures of one kind warn alike.
    if (std::find(warnings.begin(), warnings.end(), warning) != warnings.end())
        return;
    warnings.push_back(warning);
    std::cerr << Speaker(command) << ": warning: " << warning << "\n";
}

void SReport::TakeRecord(const SMaskParam& param)
{
    hasRecord = true;
    record = param;
}

void SReport::Refuse(std::string why)
{
    status = EReportStatus::Refused;
    reason = std::move(why);
}

void SReport::NotMet(std::string why)
{
    status = EReportStatus::NotMet;
    reason = std::move(why);
}

nlohmann::ordered_json ReportToJson(const SReport& report)
{
    nlohmann::ordered_json json;
    json["command"] = report.command;
    json["status"] = StatusName(report.status);
    if (report.status != EReportStatus::Ok)
        json["reason"] = report.reason;
    if (report.hasRecord)
        json["record"] = RecordToJson(report.record);
    json["files"] = report.files;
    json["warnings"] = report.warnings;
    for (const auto& [key, value] : report.own.items())
        json[key] = value;
    return json;
}

int ExitStatus(EReportStatus status)
{
    switch (status) {
    case EReportStatus::Ok: return 0;
    case EReportStatus::Refused:
    case EReportStatus::NotMet: return 1;
    case EReportStatus::Error:
    case EReportStatus::UsageError: return 2;
    }
    return 2;
}

namespace {

// Prints the report (with `json`) and its reason; a standard output that could not be written
// makes the status an error. Returns the exit status.
int Report_Finish(const SReport& report, bool json)
{
    // Paths and file names come from the user and need not be UTF-8: such bytes are replaced
    // rather than stopping the report.
    if (json)
        std::cout << ReportToJson(report).dump(2, ' ', false,
                                               nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    if (report.status != EReportStatus::Ok)
        std::cerr << Speaker(report.command) << ": " << StatusName(report.status)
                  << ": " << report.reason << "\n";
    if (!StandardOutputWritten()) {
        std::cerr << Speaker(report.command) << ": error: the standard output could not "
                  << "be written\n";
        return ExitStatus(EReportStatus::Error);
    }
    return ExitStatus(report.status);
}

}  // namespace

int RunReported(const char* command, bool json, const std::function<void(SReport&)>& body)
{
    SReport report;
    report.command = command;
    try {
        for (const std::string& warning : PendingWarnings())
            report.Warn(warning);
        PendingWarnings().clear();
        if (std::exception_ptr fault = std::exchange(PendingFault(), nullptr))
            std::rethrow_exception(fault);
        body(report);
    } catch (const CommandRefusal& refusal) {
        report.Refuse(refusal.what());
    } catch (const std::bad_alloc&) {
        report.status = EReportStatus::Error;
        report.reason = "not enough memory";
    } catch (const std::exception& error) {
        report.status = EReportStatus::Error;
        report.reason = error.what();
    } catch (...) {
        report.status = EReportStatus::Error;
        report.reason = "an unexpected fault stopped the command";
    }
    try {
        return Report_Finish(report, json);
    } catch (...) {
        return ExitStatus(EReportStatus::Error);
    }
}

int ReportUsageError(const std::string& command, bool json, const std::string& reason)
{
    SReport report;
    report.command = command;
    report.status = EReportStatus::UsageError;
    report.reason = reason;
    try {
        return Report_Finish(report, json);
    } catch (...) {
        return ExitStatus(EReportStatus::Error);
    }
}

std::function<int()> ReportedRun(const CLI::App* command, const bool& json,
                                 std::function<void(SReport&)> body)
{
    return [command, &json, body = std::move(body)]() {
        return command->parsed() ? RunReported(command->get_name().c_str(), json, body) : -1;
    };
}
