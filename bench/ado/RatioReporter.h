// The console reporter of the walk benchmarks, which also keeps each benchmark's wall and CPU
// time per iteration so that main can print, after the table, how the ways of walking compare
// with one another (for example ADO's time over the plain loop's) against a target ratio. The
// target is judged on wall time; the CPU-time ratio (this process only, without the server)
// is printed beside it because it is steadier on a loaded machine. With repetitions
// (--benchmark_repetitions) the median is used, otherwise the mean over the runs.
#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace kpbench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Target {
    std::string numerator, denominator;  // benchmark function names, e.g. "AdoServer", "OdbcLoop"
    double limit;                        // the ratio is met when it is at most this
  };

  void ReportRuns(const std::vector<Run>& runs) override;
  // One line per target whose two benchmarks both ran: the ratios, the limit, met or missed.
  void PrintRatios(std::ostream& out, const std::vector<Target>& targets) const;

 private:
  struct Seconds {
    double wall = 0, cpu = 0;  // accumulated over iterations
    double iterations = 0;
  };
  const Seconds* Find(const std::string& name) const;  // the median if kept, else the runs

  std::map<std::string, Seconds> runs_, medians_;
};

}  // namespace kpbench
