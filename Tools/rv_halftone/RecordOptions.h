// The thirteen fields of the pass mask record as command-line options.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <CLI/CLI.hpp>

#include <nlohmann/json.hpp>

#include <string>

// Every SMaskParam the tool holds is declared alignas(4): the record is packed (1-byte aligned, as
// hosts bind it), and the options below bind int32_t references to its fields, which are aligned
// only when the record is.
//
// Adds --nozzle-count ... --less-mask-position to `command`, writing into `param`, which starts
// as the tool's default mode (544 nozzles, 4 passes, 2 colours, 2 bits, no feather). A value
// outside an option's own set (--bits-per-pixel 3, --res-split-mode 7) is a usage error, shown as
// given; rules that tie fields together are the library's, which refuses a record it cannot serve
// and says why. Options given that the record leaves unread (--feather-percent without
// --feather-mode 1, ...) draw a warning in the command's report.
//
// Adds --record FILE as well: the record read from the file (ReadRecordFile), whose fields the
// record options given explicitly override. A file that cannot be read or is not a record becomes
// the command's outcome (NoteFault): an error or a refusal naming the file and the key.
void AddRecordOptions(CLI::App& command, SMaskParam& param);

// The option of a field: "featherPercent" -> "--feather-percent".
std::string OptionOfField(const std::string& field);

// A library text with the record's field names ("featherPercent") turned into this tool's options
// ("--feather-percent").
std::string InOptionNames(const std::string& text);

// The record as JSON, field names as in the record, in its order; `param` may lie at any address.
// RecordFromJson reads it back.
nlohmann::ordered_json RecordToJson(const SMaskParam& param);

// The record of a JSON object with fields by their names (as RecordToJson writes them); fields
// left out take the tool's default (MaskParam_Default). Throws CommandRefusal naming `source` and
// the key for anything else than an object, an unknown key, a value of the wrong type (a whole
// number for an integer field) or one outside its option's own set.
SMaskParam RecordFromJson(const nlohmann::json& json, const std::string& source);

// The JSON of a small file of fields (a record, an error budget). Throws std::runtime_error naming
// the file when it cannot be read, CommandRefusal when it is larger than such a file can be or not
// JSON.
nlohmann::json ReadFieldFile(const std::string& path);

// The record of a record file (ReadFieldFile, RecordFromJson). Throws std::runtime_error naming the file when it
// cannot be read, CommandRefusal when it is not JSON, larger than a record file can be, or not a
// record.
SMaskParam ReadRecordFile(const std::string& path);

// The record as the C initialiser a host pastes, fields in the record's order:
// "SMaskParam_Test record = { .nozzleCount = 544, ..., .lessMaskPosition = 0 };".
std::string RecordAsCInitialiser(const SMaskParam& param, const std::string& variable = "record");
