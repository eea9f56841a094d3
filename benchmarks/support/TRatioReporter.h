#pragma once
// Console reporter that also keeps each run's real time per iteration, so a benchmark
// program can print ratios between runs measured in the same process.

#include <benchmark/benchmark.h>

#include <map>
#include <string>

class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            m_realTime[run.benchmark_name()] = run.GetAdjustedRealTime();
            m_cpuTime[run.benchmark_name()] = run.GetAdjustedCPUTime();
            m_counters[run.benchmark_name()] = run.counters;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Real time per iteration, in the run's time unit; 0 when the run is missing.
    double realTime(const std::string& name) const { return find(m_realTime, name); }
    double cpuTime(const std::string& name) const { return find(m_cpuTime, name); }
    double counter(const std::string& name, const std::string& counter) const
    {
        const auto it = m_counters.find(name);
        if (it == m_counters.end())
            return 0.0;
        const auto c = it->second.find(counter);
        return c == it->second.end() ? 0.0 : c->second.value;
    }

private:
    static double find(const std::map<std::string, double>& times, const std::string& name)
    {
        const auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> m_realTime;
    std::map<std::string, double> m_cpuTime;
    std::map<std::string, benchmark::UserCounters> m_counters;
};
