// The database of a fault session: a small SQLite file made once from a script while no fault
// is armed, copied afresh before every run (a run may change it), and read back afterwards as
// text rows, again with no fault armed, to compare with what the run reported.
//
// Reading back opens the file as the next user of the database would: SQLite rolls back a
// transaction that a failed run left in a hot journal, so the rows read are the durable ones.
// The folder lives in /dev/shm when there is one (syncs cost nothing there, and a sweep makes
// thousands of them), else in /tmp; it is removed with the object.
#pragma once
#include <string>
#include <vector>

namespace kp::fault {

class FaultDatabase {
 public:
  // Makes the template database from script (statements separated by ';', UTF-8). Fails the
  // current test when SQLite refuses the script.
  explicit FaultDatabase(const std::string& script);
  ~FaultDatabase();
  FaultDatabase(const FaultDatabase&) = delete;
  FaultDatabase& operator=(const FaultDatabase&) = delete;

  // Copies the template to the run's file (journals of an earlier run removed) and answers its
  // path.
  std::string Fresh();
  // The folder of the template and the run's file; ends with '/'.
  const std::string& Folder() const { return folder_; }
  // The run's file.
  std::string Path() const { return folder_ + "run.db"; }

  // The rows query answers on the database at path, each row its values joined by '|' (NULL as
  // "NULL", reals with 15 significant digits). Also checks the file's integrity: a damaged file
  // fails the current test. Runs with every fault disarmed.
  static std::vector<std::string> Rows(const std::string& path, const std::string& query);

 private:
  std::string folder_;
};

}  // namespace kp::fault
