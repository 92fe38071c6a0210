// The whole command through the reference host's binary on generated sections of two curves of
// 10,000, 100,000 and 1,000,000 nodes: open the map, pick both curves, cancel the name dialog,
// keep the curves, write the map (to the bench's folder) and, in a second benchmark, the
// picture too. Each iteration is a fresh process (as a person's run is); its time is the
// process's wall time, and the counters are the phases the host reports with --timings
// (read_s, run_s, write_s, picture_s) and its peak resident memory (peak_MB, from wait4).
//
// The maps are written once by scripts/make-section.py (fixed seed) into bench-maps/ beside
// the binary. The host and the plug-in are the ones built beside this binary; the lexicon is
// the examples' (the dialog is cancelled before it is read).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string BinDir() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, n);
  return exe.substr(0, exe.rfind('/'));
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The generated section of `nodes` nodes per curve, and the script of the command.
std::string SectionMap(long nodes) {
  std::string dir = BinDir() + "/bench-maps";
  mkdir(dir.c_str(), 0755);
  std::string map = dir + "/section-" + std::to_string(nodes) + ".geojson";
  if (!Exists(map)) {
    std::string command = "python3 '" KP_SOURCE_DIR "/scripts/make-section.py' " + std::to_string(nodes) + " '" + map + "'";
    if (std::system(command.c_str()) != 0) return "";
  }
  return map;
}

std::string Script() {
  std::string path = BinDir() + "/bench-maps/cancel-and-keep.txt";
  std::ofstream(path) << "launch dsi\npick 1 2\ndialog cancel\ntext n\n";
  return path;
}

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Outcome {
  bool ok = false;
  double seconds = 0;
  double peakMb = 0;
  std::map<std::string, double> phases;
};

// Runs the host on `map`; its standard output is dropped, its error stream read for timings.
Outcome RunHost(const std::string& map, bool picture) {
  const std::string bin = BinDir(), out = bin + "/bench-maps/out.geojson", errPath = bin + "/bench-maps/timings.txt";
  std::vector<std::string> args = {bin + "/sectionhost", "--map", map, "--plugin", bin + "/libkpSect03StratumSel.so",
                                   "--config-dir", KP_SOURCE_DIR "/examples", "--script", Script(), "--out", out,
                                   "--timings"};
  if (picture) {
    args.push_back("--svg");
    args.push_back(bin + "/bench-maps/out.svg");
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Outcome o;
  double start = Now();
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return o;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  o.seconds = Now() - start;
  o.peakMb = usage.ru_maxrss / 1024.0;
  o.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::ifstream err(errPath);
  std::string word, phase;
  double value = 0;
  while (err >> word) {
    if (word == "timing" && err >> phase >> value) o.phases[phase] = value;
  }
  return o;
}

void Command(benchmark::State& state, bool picture) {
  const std::string map = SectionMap(state.range(0));
  if (map.empty()) {
    state.SkipWithError("scripts/make-section.py failed (is python3 installed?)");
    return;
  }
  std::map<std::string, double> phases;
  double peak = 0;
  for (auto _ : state) {
    Outcome o = RunHost(map, picture);
    if (!o.ok) {
      state.SkipWithError("the host failed; see bench-maps/timings.txt");
      return;
    }
    state.SetIterationTime(o.seconds);
    for (const auto& [name, seconds] : o.phases) phases[name] += seconds;
    peak = std::max(peak, o.peakMb);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["read_s"] = phases["read-map"] / n;
  state.counters["run_s"] = phases["run"] / n;
  state.counters["write_s"] = phases["write-map"] / n;
  if (picture) state.counters["picture_s"] = phases["write-picture"] / n;
  state.counters["peak_MB"] = peak;
}

void MapOnly(benchmark::State& state) {
  Command(state, false);
}
void MapAndPicture(benchmark::State& state) {
  Command(state, true);
}

BENCHMARK(MapOnly)->ArgName("nodes")->Arg(10000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(MapAndPicture)->ArgName("nodes")->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
