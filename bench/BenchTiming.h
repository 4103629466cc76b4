#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace tunevale::bench
{

struct Timing {
    double wall = 0; // elapsed seconds
    double cpu = 0;  // user + system seconds of this process and of the children it waited for
};

inline double cpuSeconds()
{
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total +=
            usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

// Times work, which returns false when it failed; a failure ends the benchmark.
template <typename Work> Timing measure(Work work)
{
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "a conversion failed\n");
        std::exit(1);
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpuSeconds() - cpuStart};
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double best(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// The best wall time of the rounds (a busy machine only ever adds to it) and the median CPU time,
// ours against the reference's; the wall ratio returned.
inline double report(const char* what, const std::vector<Timing>& ours, const std::vector<Timing>& reference,
                     double goal)
{
    const auto field = [](const std::vector<Timing>& timings, double Timing::*member) {
        std::vector<double> values;
        for (const auto& timing : timings)
            values.push_back(timing.*member);
        return values;
    };
    const double wall = best(field(ours, &Timing::wall)), referenceWall = best(field(reference, &Timing::wall));
    const double cpu = median(field(ours, &Timing::cpu)), referenceCpu = median(field(reference, &Timing::cpu));
    std::printf("%s\n  wall (best):  Tunevale %7.2f s  reference %7.2f s  ratio %.3f (goal <= %.2f)\n"
                "  cpu (median): Tunevale %7.2f s  reference %7.2f s  ratio %.3f\n",
                what, wall, referenceWall, wall / referenceWall, goal, cpu, referenceCpu, cpu / referenceCpu);
    std::fflush(stdout);
    return wall / referenceWall;
}

// Runs both sides rounds times, taking turns at going first.
template <typename Ours, typename Reference>
double compare(const char* what, int rounds, double goal, Ours ours, Reference reference)
{
    std::vector<Timing> oursTimings, referenceTimings;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0)
            oursTimings.push_back(measure(ours));
        referenceTimings.push_back(measure(reference));
        if (round % 2 == 1)
            oursTimings.push_back(measure(ours));
    }
    return report(what, oursTimings, referenceTimings, goal);
}

} // namespace tunevale::bench
