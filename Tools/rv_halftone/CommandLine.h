// What the commands share in reading a command line: checks of an option's own set of values, and
// suggestions for a misspelt name.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

// A check of an option whose values form a fixed set, whatever the other options say: a value
// outside it ends the parse as a usage error that shows the value as given ("--feather-percent:
// 100.00001 must be from 0 to 100"); `rule` says what the set is ("must be from 0 to 100"). A
// value that is not a number is left to the conversion.
CLI::Validator InSet(bool (*inSet)(double), const std::string& rule);

// Sets of values many options share.
bool AtLeastOne(double value);     // 1, 2, ...
bool Percent(double value);        // 0 to 100 (not NaN)
bool OneOrTwoBits(double value);   // 1 or 2
bool WholeNumber(double value);

// "--nozle-count: did you mean --nozzle-count?"

// The candidate closest to `name` when it is close enough to be a slip of the keyboard (a few
// letters left out, added, changed or swapped); empty otherwise. `name` itself when it is one of
// them.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates);
