// The ratio-keeping console reporter (see RatioReporter.h). The target is judged on wall-clock
// time: a database server shares the machine, so CPU time of this process alone would hide the
// server's part.
#include "RatioReporter.h"

#include <cstdio>

namespace kpbench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred || run.iterations <= 0) continue;
    Seconds* into = nullptr;
    if (run.run_type == Run::RT_Iteration)
      into = &runs_[run.run_name.function_name];
    else if (run.aggregate_name == "median")
      into = &(medians_[run.run_name.function_name] = Seconds());
    if (!into) continue;
    into->wall += run.real_accumulated_time;
    into->cpu += run.cpu_accumulated_time;
    into->iterations += (double)run.iterations;
  }
  ConsoleReporter::ReportRuns(runs);
}

const RatioReporter::Seconds* RatioReporter::Find(const std::string& name) const {
  for (const auto* table : {&medians_, &runs_}) {
    auto it = table->find(name);
    if (it != table->end() && it->second.iterations > 0) return &it->second;
  }
  return nullptr;
}

void RatioReporter::PrintRatios(std::ostream& out, const std::vector<Target>& targets) const {
  for (const Target& t : targets) {
    const Seconds* n = Find(t.numerator);
    const Seconds* d = Find(t.denominator);
    if (!n || !d || d->wall <= 0 || d->cpu <= 0) continue;
    double wall = (n->wall / n->iterations) / (d->wall / d->iterations);
    double cpu = (n->cpu / n->iterations) / (d->cpu / d->iterations);
    char line[192];
    snprintf(line, sizeof line, "%-16s / %-16s = %5.2fx wall, %5.2fx cpu  (target <= %.2fx: %s)\n",
             t.numerator.c_str(), t.denominator.c_str(), wall, cpu, t.limit,
             wall <= t.limit ? "met" : "missed");
    out << line;
  }
}

}  // namespace kpbench
