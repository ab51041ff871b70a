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
void AddRecordOptions(CLI::App& command, SMaskParam& param);

// A library text with the record's field names ("featherPercent") turned into this tool's options
// ("--feather-percent").
std::string InOptionNames(const std::string& text);

// The record as JSON, field names as in the record; `param` may lie at any address.
nlohmann::ordered_json RecordToJson(const SMaskParam& param);
