#include "CommandLine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

CLI::Validator InSet(bool (*inSet)(double), const std::string& rule)
{
    return CLI::Validator(
        [inSet, rule](std::string& given) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(given.c_str(), &end);
            if (end == given.c_str() || *end != '\0' || inSet(value))
                return "";
            return given + " " + rule;
        },
        "");
}

bool WholeNumber(double value) { return value == std::floor(value); }  // false for NaN, inf too
bool AtLeastOne(double value) { return value >= 1.0 && WholeNumber(value); }
bool Percent(double value) { return value >= 0.0 && value <= 100.0; }
bool OneOrTwoBits(double value) { return value == 1.0 || value == 2.0; }

namespace {

// Edits that turn a into b: letters left out, added or changed, and neighbours swapped, each
// counted once (the optimal string alignment distance).
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::string NearestName(const std::string& name, const std::vector<std::string>& candidates)
{
    // A slip: at most a third of the name's letters, and at least one.
    const size_t allowed = std::max<size_t>(1, name.size() / 3);
    std::string nearest;
    size_t best = allowed + 1;
    for (const std::string& candidate : candidates) {
        const size_t distance = EditDistance(name, candidate);
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}
