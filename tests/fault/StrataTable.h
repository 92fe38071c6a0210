// The table both SQLite sweeps of the data layer work on (the ADO object model's and ado2's):
// the script that makes it, the query of its content and the rows it holds after the first k
// successful writes of a session (the Update, then the batch); what one run of a session did,
// the check of it against the file, and the tally of where runs failed. The narrow literals take the
// execution character set of the file that includes this one: UTF-8 in the ADO sweep, GBK in
// ado2's, which converts before it compares.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kp::fault {

inline const char kStrataScript[] =
    "CREATE TABLE strata(id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, code VARCHAR(10), depth DOUBLE);"
    "INSERT INTO strata VALUES(1, '第四系', 'Q', 10.5);"
    "INSERT INTO strata VALUES(2, '新近系', 'N', 120.25);"
    "INSERT INTO strata VALUES(3, '古近系', 'E', 300);"
    "INSERT INTO strata VALUES(4, '白垩系', 'K', 850.75);"
    "INSERT INTO strata VALUES(5, '侏罗系', 'J', 1400);"
    "INSERT INTO strata VALUES(6, '三叠系', 'T', NULL);";
inline const char kStrataContent[] = "SELECT id, name, code, depth FROM strata ORDER BY id";

inline std::vector<std::string> StrataAfterWrites(int writes) {
  std::vector<std::string> rows = {"1|第四系|Q|10.5",   "2|新近系|N|120.25", "3|古近系|E|300",
                                   "4|白垩系|K|850.75", "5|侏罗系|J|1400",   "6|三叠系|T|NULL"};
  if (writes >= 1) rows[1] = "2|新近系|N2|120.25";
  if (writes >= 2) {
    rows[2] = "3|古近系|E1|300";
    rows[3] = "4|白垩系|K|900";
    rows.push_back("7|石炭系|C|2000");
  }
  return rows;
}

// What one run of a session did.
struct StrataRun {
  int writes = 0;                   // writes that reported success
  std::string failedStep;           // empty when every step succeeded
  std::vector<std::string> walked;  // rows read by the walk
};

// Runs by the step at which they failed ("none" for runs that went through).
class StrataTally {
 public:
  // Counts the run n of a sweep; run 0, with no fault armed, must go through.
  void Count(long n, const StrataRun& run) {
    if (n == 0) {
      EXPECT_EQ(run.failedStep, "") << "the session fails without a fault";
    }
    ++runs_[run.failedStep.empty() ? "none" : run.failedStep];
  }
  // "step: runs, ..." for the test's output: where the faults made the session fail.
  std::string Failures() const {
    std::string text;
    for (const auto& [step, runs] : runs_) text += (text.empty() ? "" : ", ") + step + ": " + std::to_string(runs);
    return text;
  }

 private:
  std::map<std::string, int> runs_;
};

// The rows a run walked must be the first rows of `table` (the table before any write); the
// rows in the file afterwards, `stored`, those after the writes the run saw succeed.
inline void CheckStrataRun(const StrataRun& run, std::vector<std::string> table, const std::vector<std::string>& stored,
                           const std::vector<std::string>& expected) {
  if (!run.walked.empty()) {
    table.resize(run.walked.size());
    EXPECT_EQ(run.walked, table) << "the walk read other rows than the table holds";
  }
  EXPECT_EQ(stored, expected) << "after " << run.writes << " successful writes; failed at \"" << run.failedStep
                              << "\"";
}

}  // namespace kp::fault
