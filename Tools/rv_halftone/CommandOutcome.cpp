#include "CommandOutcome.h"

#include "RecordOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* StatusName(EStatus status)
{
    switch (status) {
    case EStatus::Ok: return "ok";
    case EStatus::Refused: return "refused";
    case EStatus::NotMet: return "not met";
    case EStatus::Error: return "error";
    }
    return "error";
}

int ExitStatus(EStatus status)
{
    switch (status) {
    case EStatus::Ok: return 0;
    case EStatus::Refused:
    case EStatus::NotMet: return 1;
    case EStatus::Error: return 2;
    }
    return 2;
}

nlohmann::ordered_json OutcomeJson(const char* command, const SCommandOutcome& outcome,
                                   const SMaskParam* record, const nlohmann::ordered_json& own)
{
    // In the order a reader looks for them.
    nlohmann::ordered_json json = {{"command", command}, {"status", StatusName(outcome.status)}};
    if (outcome.status != EStatus::Ok)
        json["reason"] = outcome.reason;
    if (record != nullptr)
        json["record"] = nlohmann::ordered_json(RecordToJson(*record));
    json["files"] = outcome.files;
    for (const auto& [key, value] : own.items())
        json[key] = value;
    return json;
}

int Outcome_Finish(const char* command, const SCommandOutcome& outcome, const std::string& summary)
{
    if (outcome.status == EStatus::Ok)
        std::fprintf(stderr, "%s: %s\n", command, summary.c_str());
    else
        std::fprintf(stderr, "rv_halftone %s: %s: %s\n", command, StatusName(outcome.status),
                     outcome.reason.c_str());
    return ExitStatus(outcome.status);
}

void WriteFileBytes(const std::string& path, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw FileError(path + ": " + std::strerror(errno));
    const bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(path.c_str());
        throw FileError(path + ": " + std::strerror(written ? errno : writeErrno));
    }
}
