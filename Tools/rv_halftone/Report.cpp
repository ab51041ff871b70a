#include "Report.h"

#include "RecordOptions.h"

#include <cstdio>
#include <exception>
#include <iostream>

namespace {

const char* StatusName(EReportStatus status)
{
    switch (status) {
    case EReportStatus::Ok: return "ok";
    case EReportStatus::Refused: return "refused";
    case EReportStatus::NotMet: return "not met";
    case EReportStatus::Error: return "error";
    }
    return "error";
}

// Both streams the commands print with, flushed: a full disk or a closed pipe shows only here.
bool StandardOutputWritten()
{
    std::cout.flush();
    return std::cout.good() && std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace

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
    case EReportStatus::Error: return 2;
    }
    return 2;
}

int RunReported(const char* command, bool json, const std::function<void(SReport&)>& body)
{
    SReport report;
    report.command = command;
    try {
        body(report);
    } catch (const CommandRefusal& refusal) {
        report.Refuse(refusal.what());
    } catch (const std::exception& error) {
        report.status = EReportStatus::Error;
        report.reason = error.what();
    } catch (...) {
        report.status = EReportStatus::Error;
        report.reason = "an unexpected fault stopped the command";
    }
    // Paths and file names come from the user and need not be UTF-8: such bytes are replaced
    // rather than stopping the report.
    if (json)
        std::cout << ReportToJson(report).dump(2, ' ', false,
                                               nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    if (report.status != EReportStatus::Ok)
        std::cerr << "rv_halftone " << command << ": " << StatusName(report.status) << ": "
                  << report.reason << "\n";
    if (!StandardOutputWritten()) {
        std::cerr << "rv_halftone " << command << ": error: the standard output could not be "
                  << "written\n";
        return ExitStatus(EReportStatus::Error);
    }
    return ExitStatus(report.status);
}

std::function<int()> ReportedRun(const CLI::App* command, const bool& json,
                                 std::function<void(SReport&)> body)
{
    return [command, &json, body = std::move(body)]() {
        return command->parsed() ? RunReported(command->get_name().c_str(), json, body) : -1;
    };
}
