// A console reporter that keeps every benchmark's figures, so that a program can print ratios
// measured in its own run: with --benchmark_repetitions the median of each benchmark, otherwise
// its one run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration)
                continue;
            Figures& figures = median ? m_medians[name] : m_singles[name];
            const double unitsPerSecond = benchmark::GetTimeUnitMultiplier(run.time_unit);
            figures.realSeconds = run.GetAdjustedRealTime() / unitsPerSecond;
            figures.cpuSeconds = run.GetAdjustedCPUTime() / unitsPerSecond;
            for (const auto& counter : run.counters)
                figures.counters[counter.first] = counter.second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Wall-clock seconds per iteration, 0 for a benchmark that did not run.
    double RealSeconds(const std::string& name) const
    {
        const Figures* figures = Find(name);
        return figures != nullptr ? figures->realSeconds : 0.0;
    }

    // CPU seconds per iteration (of every thread, where the benchmark measures the process).
    double CpuSeconds(const std::string& name) const
    {
        const Figures* figures = Find(name);
        return figures != nullptr ? figures->cpuSeconds : 0.0;
    }

    // A counter's value, 0 where the benchmark did not run or has no such counter.
    double Counter(const std::string& name, const std::string& counter) const
    {
        const Figures* figures = Find(name);
        if (figures == nullptr)
            return 0.0;
        const auto value = figures->counters.find(counter);
        return value != figures->counters.end() ? value->second : 0.0;
    }

private:
    struct Figures
    {
        double realSeconds = 0.0;
        double cpuSeconds = 0.0;
        std::map<std::string, double> counters;
    };

    const Figures* Find(const std::string& name) const
    {
        const auto median = m_medians.find(name);
        if (median != m_medians.end())
            return &median->second;
        const auto single = m_singles.find(name);
        return single != m_singles.end() ? &single->second : nullptr;
    }

    std::map<std::string, Figures> m_medians;
    std::map<std::string, Figures> m_singles;
};
