// The thirteen fields of the pass mask record as command-line options.
#pragma once

#include <Rv_Halftone/MaskParam.h>

#include <CLI/CLI.hpp>

#include <nlohmann/json.hpp>

// Adds --nozzle-count ... --less-mask-position to `command`, writing into `param`, which starts
// as the tool's default mode (544 nozzles, 4 passes, 2 colours, 2 bits, no feather). Values are
// only type-checked here: the library itself refuses a record it cannot serve.
void AddRecordOptions(CLI::App& command, SMaskParam& param);

// The record as JSON, field names as in the record.
nlohmann::json RecordToJson(const SMaskParam& param);
