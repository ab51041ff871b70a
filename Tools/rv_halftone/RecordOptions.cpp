#include "RecordOptions.h"

#include <Rv_Halftone/RawMaskData.h>

#include "CommandLine.h"
#include "Report.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool LevelPercent(double v) { return v >= 1.0 && v <= 100.0 && v == std::floor(v); }
bool FeatherMode(double v) { return v == FeatherMode_None || v == FeatherMode_Nozzle; }
bool FeatherNozzleType(double v)
{
    return v == FeatherNozzleType_TwoPart || v == FeatherNozzleType_ThreePart ||
           v == FeatherNozzleType_ThreePartRipple;
}
bool ResSplitMode(double v)
{
    return v >= ResSplitMode_None && v <= ResSplitMode_XYHalf && v == std::floor(v);
}
bool Byte(double v) { return v >= 0.0 && v <= 255.0 && v == std::floor(v); }

enum class EFieldType
{
    Int32,
    Float,
    Byte,
};

// One field of the record: its name, where it lies, and the option's own set of values, which the
// option and a record file check alike.
struct SRecordField
{
    const char* name;
    EFieldType type;
    size_t offset;
    bool (*inSet)(double);  // null: any value of the field's type
    const char* rule;       // what the set is, after the value: "must be 1 or 2"
};

// In the record's order; the JSON, the C initialiser and a record file follow it.
const SRecordField kRecordFields[] = {
    {"nozzleCount", EFieldType::Int32, offsetof(SMaskParam, nozzleCount), nullptr, nullptr},
    {"basePass", EFieldType::Int32, offsetof(SMaskParam, basePass), nullptr, nullptr},
    {"xResPass", EFieldType::Int32, offsetof(SMaskParam, xResPass), nullptr, nullptr},
    {"yResPass", EFieldType::Int32, offsetof(SMaskParam, yResPass), nullptr, nullptr},
    {"colorCount", EFieldType::Int32, offsetof(SMaskParam, colorCount), nullptr, nullptr},
    {"bitsPerPixel", EFieldType::Int32, offsetof(SMaskParam, bitsPerPixel), OneOrTwoBits,
     "must be 1 or 2"},
    {"featherMode", EFieldType::Int32, offsetof(SMaskParam, featherMode), FeatherMode,
     "must be 0 (no feather) or 1 (nozzle feather)"},
    {"featherPercent", EFieldType::Float, offsetof(SMaskParam, featherPercent), Percent,
     "must be from 0 to 100"},
    {"featherNozzleType", EFieldType::Int32, offsetof(SMaskParam, featherNozzleType),
     FeatherNozzleType,
     "must be 1 (two-part smoothing), 2 (three-part smoothing) or 3 (three-part smoothing with "
     "the sine ripple)"},
    {"colorTimes", EFieldType::Int32, offsetof(SMaskParam, colorTimes), nullptr, nullptr},
    {"smoothLevelPercent", EFieldType::Int32, offsetof(SMaskParam, smoothLevelPercent),
     LevelPercent, "must be a whole number from 1 to 100"},
    {"resSplitMode", EFieldType::Int32, offsetof(SMaskParam, resSplitMode), ResSplitMode,
     "must be 0 (none), 1 (X/2), 2 (Y/2), 3 (Y/3), 4 (Y/4) or 5 (X/2 and Y/2)"},
    {"lessMaskPosition", EFieldType::Byte, offsetof(SMaskParam, lessMaskPosition), Byte,
     "must be from 0 to 255"},
};

const SRecordField& FieldNamed(const char* name)
{
    for (const SRecordField& field : kRecordFields)
        if (std::strcmp(field.name, name) == 0)
            return field;
    throw std::logic_error(std::string("no record field ") + name);
}

// The check of the option of field `name`.
CLI::Validator FieldCheck(const char* name)
{
    const SRecordField& field = FieldNamed(name);
    return InSet(field.inSet, field.rule);
}

// A field's value as a number, and back. The record is packed, so its fields are copied as bytes
// rather than read through a reference that need not be aligned.
double FieldValue(const SMaskParam& param, const SRecordField& field)
{
    const auto* at = reinterpret_cast<const unsigned char*>(&param) + field.offset;
    switch (field.type) {
    case EFieldType::Int32: {
        int32_t value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    case EFieldType::Float: {
        float value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    case EFieldType::Byte: return *at;
    }
    return 0.0;
}

void SetFieldValue(SMaskParam& param, const SRecordField& field, double value)
{
    auto* at = reinterpret_cast<unsigned char*>(&param) + field.offset;
    switch (field.type) {
    case EFieldType::Int32: {
        const auto whole = static_cast<int32_t>(value);
        std::memcpy(at, &whole, sizeof whole);
        break;
    }
    case EFieldType::Float: {
        const auto single = static_cast<float>(value);
        std::memcpy(at, &single, sizeof single);
        break;
    }
    case EFieldType::Byte: *at = static_cast<unsigned char>(value); break;
    }
}

// A float in the fewest digits that read back as the same float: 6.95, not 6.94999981.
std::string ShortestText(float value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::vector<std::string> FieldNames()
{
    std::vector<std::string> names;
    for (const SRecordField& field : kRecordFields)
        names.emplace_back(field.name);
    return names;
}

// The number `value` of a record file as field `field` takes it; throws CommandRefusal naming
// the file and the key for a value of the wrong type or outside the option's own set.
double FieldValueOfJson(const nlohmann::json& value, const SRecordField& field,
                        const std::string& source)
{
    const std::string where = source + ": \"" + field.name + "\": ";
    const bool whole = value.is_number_integer();
    if (field.type == EFieldType::Float ? !value.is_number() : !whole)
        throw CommandRefusal(where + value.dump() + " is not " +
                             (field.type == EFieldType::Float ? "a number" : "a whole number"));
    const double number = value.get<double>();
    const bool single = field.type == EFieldType::Float;
    const double least = single ? static_cast<double>(std::numeric_limits<float>::lowest())
                                : static_cast<double>(std::numeric_limits<int32_t>::min());
    const double most = single ? static_cast<double>(std::numeric_limits<float>::max())
                               : static_cast<double>(std::numeric_limits<int32_t>::max());
    if (!(number >= least && number <= most))
        throw CommandRefusal(where + value.dump() + " does not fit the field (" +
                             (field.type == EFieldType::Float ? "a float" : "a 32-bit integer") +
                             ")");
    if (field.inSet != nullptr && !field.inSet(number))
        throw CommandRefusal(where + value.dump() + " " + field.rule);
    return number;
}

// A file of fields holds one small object; anything much larger is not one.
constexpr std::streamsize kMaxFieldFileBytes = 64 * 1024;

std::string SmallFileText(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw std::runtime_error(path + ": is a folder, not a file");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error(path + ": " + std::strerror(errno));
    std::string text(static_cast<size_t>(kMaxFieldFileBytes) + 1, '\0');
    file.read(text.data(), kMaxFieldFileBytes + 1);
    if (file.bad())
        throw std::runtime_error(path + ": cannot be read");
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > static_cast<size_t>(kMaxFieldFileBytes))
        throw CommandRefusal(path + ": larger than " + std::to_string(kMaxFieldFileBytes) +
                             " bytes; the file holds one JSON object of a few fields");
    return text;
}

bool Given(const CLI::App& command, const char* option)
{
    return command.get_option(option)->count() > 0;
}

// Options given that the record's other fields leave unread: a nozzle feather's options without
// one, and the smoothing level without three-part smoothing.
std::vector<std::string> UnreadRecordOptions(const CLI::App& command, const SMaskParam& param)
{
    std::vector<std::string> warnings;
    if (param.featherMode != FeatherMode_Nozzle) {
        for (const char* name :
             {"--feather-percent", "--feather-nozzle-type", "--smooth-level-percent"})
            if (Given(command, name))
                warnings.push_back(std::string(name) +
                                   " changes nothing without --feather-mode 1");
    } else if (param.featherNozzleType == FeatherNozzleType_TwoPart &&
               Given(command, "--smooth-level-percent")) {
        warnings.push_back("--smooth-level-percent changes nothing with two-part smoothing "
                           "(--feather-nozzle-type 1): only three-part smoothing lays part of "
                           "the levels");
    }
    return warnings;
}


// The fields of a record file whose options were not given.
void TakeRecordFile(const CLI::App& command, const SMaskParam& fromFile, SMaskParam& param)
{
    for (const SRecordField& field : kRecordFields)
        if (!Given(command, OptionOfField(field.name).c_str()))
            SetFieldValue(param, field, FieldValue(fromFile, field));
}

}  // namespace

void AddRecordOptions(CLI::App& command, SMaskParam& param)
{
    param = MaskParam_Default();
    command
        .add_option("--nozzle-count", param.nozzleCount,
                    "nozzle rows of the head the mask may use (at least base-pass x x-res-pass x "
                    "y-res-pass; feathering needs more)")
        ->capture_default_str();
    command
        .add_option("--base-pass", param.basePass,
                    "passes over each paper row at base resolution (>= 1)")
        ->capture_default_str();
    command
        .add_option("--x-res-pass", param.xResPass,
                    "horizontal resolution passes: the mask is this many times " +
                        std::to_string(CRawMaskData::Width()) +
                        " pixels wide (>= 1 after the split)")
        ->capture_default_str();
    command
        .add_option("--y-res-pass", param.yResPass,
                    "vertical resolution passes: each base row becomes this many mask rows "
                    "(>= 1 after the split)")
        ->capture_default_str();
    command.add_option("--color-count", param.colorCount, "colour planes in the mask (>= 1)")
        ->capture_default_str();
    command.add_option("--bits-per-pixel", param.bitsPerPixel, "bits per mask pixel (1 or 2)")
        ->check(FieldCheck("bitsPerPixel"))
        ->capture_default_str();
    command
        .add_option("--feather-mode", param.featherMode, "0 no nozzle feather, 1 nozzle feather")
        ->check(FieldCheck("featherMode"))
        ->capture_default_str();
    command
        .add_option("--feather-percent", param.featherPercent,
                    "with --feather-mode 1: feather percentage, 0 to 100; the two-part feather "
                    "(type 1) needs at least one feathered row per step and no more than the "
                    "step holds, so its range depends on --nozzle-count and the passes (a "
                    "refusal names the range that works)")
        ->check(FieldCheck("featherPercent"))
        ->capture_default_str();
    command
        .add_option("--feather-nozzle-type", param.featherNozzleType,
                    "with --feather-mode 1: 1 two-part smoothing, 2 three-part smoothing, "
                    "3 three-part smoothing with the sine ripple")
        ->check(FieldCheck("featherNozzleType"))
        ->capture_default_str();
    command
        .add_option("--color-times", param.colorTimes,
                    "times each pixel is laid within the passes (1 to --base-pass)")
        ->capture_default_str();
    command
        .add_option("--smooth-level-percent", param.smoothLevelPercent,
                    "with three-part smoothing: share of the levels laid (1 to 100)")
        ->check(FieldCheck("smoothLevelPercent"))
        ->capture_default_str();
    command
        .add_option("--res-split-mode", param.resSplitMode,
                    "resolution split: 0 none, 1 X/2, 2 Y/2, 3 Y/3, 4 Y/4, 5 X/2 and Y/2")
        ->check(FieldCheck("resSplitMode"))
        ->capture_default_str();
    // A byte: its default is given as text, since streamed it would be the character 0.
    command
        .add_option("--less-mask-position", param.lessMaskPosition,
                    "0 normal tile height, 1 to 255 the tile with the fewest mask positions")
        ->check(FieldCheck("lessMaskPosition"))
        ->default_str("0");
    // The file is read once the command line is, so that the options given can override it.
    auto recordFile = std::make_shared<std::string>();
    command.add_option("--record", *recordFile,
                       "a JSON file with the record's fields by name (as best_record.json of "
                       "`design`, or the \"record\" of a --json report); the record options "
                       "given override its fields, and fields it leaves out take their defaults");
    // Once the command line is read, before the command runs.
    command.parse_complete_callback([&command, &param, recordFile] {
        if (!recordFile->empty()) {
            try {
                TakeRecordFile(command, ReadRecordFile(*recordFile), param);
            } catch (...) {
                // Reported as the command's outcome, with the status a file fault has.
                NoteFault(std::current_exception());
                return;
            }
        }
        for (const std::string& warning : UnreadRecordOptions(command, param))
            NoteWarning(warning);
    });
}

// "featherPercent" -> "--feather-percent"
std::string OptionOfField(const std::string& field)
{
    std::string option = "--";
    for (const char c : field) {
        if (c >= 'A' && c <= 'Z')
            option += std::string("-") + static_cast<char>(c - 'A' + 'a');
        else
            option += c;
    }
    return option;
}

std::string InOptionNames(const std::string& text)
{
    std::string result = text;
    for (const std::string& field : FieldNames()) {
        const std::string option = OptionOfField(field);
        size_t at = result.find(field);
        while (at != std::string::npos) {
            const size_t end = at + field.size();
            const bool whole =
                (at == 0 || !std::isalnum(static_cast<unsigned char>(result[at - 1]))) &&
                (end == result.size() || !std::isalnum(static_cast<unsigned char>(result[end])));
            if (whole)
                result.replace(at, field.size(), option);
            at = result.find(field, whole ? at + option.size() : end);
        }
    }
    return result;
}

nlohmann::ordered_json RecordToJson(const SMaskParam& param)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const SRecordField& field : kRecordFields) {
        const double value = FieldValue(param, field);
        if (field.type == EFieldType::Float)
            json[field.name] = static_cast<float>(value);
        else
            json[field.name] = static_cast<int>(value);
    }
    return json;
}

SMaskParam RecordFromJson(const nlohmann::json& json, const std::string& source)
{
    if (!json.is_object())
        throw CommandRefusal(source + ": holds " + std::string(json.type_name()) +
                             ", not an object of the record's fields");
    alignas(4) SMaskParam param = MaskParam_Default();
    const std::vector<std::string> names = FieldNames();
    for (const auto& [key, value] : json.items()) {
        if (std::find(names.begin(), names.end(), key) == names.end()) {
            const std::string nearest = NearestName(key, names);
            throw CommandRefusal(source + ": \"" + key + "\" is not a field of the record" +
                                 (nearest.empty() ? "" : "; did you mean \"" + nearest + "\"?"));
        }
        const SRecordField& field = FieldNamed(key.c_str());
        SetFieldValue(param, field, FieldValueOfJson(value, field, source));
    }
    return param;
}

nlohmann::json ReadFieldFile(const std::string& path)
{
    const std::string text = SmallFileText(path);
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw CommandRefusal(path + ": not JSON (" + error.what() + ")");
    }
}

SMaskParam ReadRecordFile(const std::string& path)
{
    return RecordFromJson(ReadFieldFile(path), path);
}

std::string RecordAsCInitialiser(const SMaskParam& param, const std::string& variable)
{
    std::string text = "SMaskParam_Test " + variable + " = { ";
    const char* separator = "";
    for (const SRecordField& field : kRecordFields) {
        const double value = FieldValue(param, field);
        text += separator;
        text += std::string(".") + field.name + " = ";
        if (field.type == EFieldType::Float) {
            std::string number = ShortestText(static_cast<float>(value));
            // A C float literal needs a point or an exponent before its suffix.
            if (number.find_first_of(".eEni") == std::string::npos)
                number += ".0";
            text += number + "f";
        } else {
            text += std::to_string(static_cast<long long>(value));
        }
        separator = ", ";
    }
    return text + " };";
}
