// One run of the reference host `sectionhost` with the stratum-selection plug-in, as a user's
// session: a fresh temporary folder holds the section map, the batch script, the stratum lexicon
// (an SQLite database with table dcmc) and the data-link file isoDB.udl that names it; the host
// is started as a separate process with that folder as its configuration directory, and the
// run hands back what the user would see (the transcript, UTF-8), the standard error, the exit
// status, the map the host wrote back and the host's map-control call log.
//
// Assumptions: the host and the plug-in are in the directory named by the environment variable
// KP_BIN_DIR when it is set, else next to the test executable. All texts here are UTF-8; the
// lexicon stores UTF-8 text, which the ADO layer hands to the plug-in as GBK.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace stratumtest {

// A section with three curves that overlap in x (1 above 2, 3 above both), a label (4, not a
// curve) and a curve far to the right (5) that overlaps none of them. Map scale 5000 with scale
// unit 2, so a stratum's scale is 5000 / 2 / 1000 = 2.5.
extern const char kSectionMap[];

// One row of table dcmc; nullopt is SQL NULL.
struct LexiconRow {
  std::optional<std::string> name;  // column dcmc
  std::optional<std::string> code;  // column dcdm
  std::optional<int> order;         // column dcbm
};

// What one host run left behind.
struct HostRun {
  int status = -1;                 // exit status of sectionhost
  std::string out;                 // the transcript
  std::string err;                 // standard error
  nlohmann::json map;              // the written map (null when none was written)
  std::vector<std::string> calls;  // the --calls log, one call per element

  // The feature with this id, or nullptr.
  const nlohmann::json* Feature(int id) const;
  // The "deleted" property of feature `id` (false when the feature is missing).
  bool Deleted(int id) const;
  // The section-stratum features (entityType 27), in map order.
  std::vector<nlohmann::json> Strata() const;
  // Success when `expected` occur in `calls` in this order (other calls may stand between).
  testing::AssertionResult CallsInOrder(const std::vector<std::string>& expected) const;
  // How often this exact call line occurs.
  int CountCalls(const std::string& line) const;
};

class HostSession {
 public:
  // A fresh folder with kSectionMap, a lexicon of three strata (砂岩 SS, 泥岩 MS, 灰岩 LS, in
  // dcbm order) and an isoDB.udl naming it.
  HostSession();
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string PathOf(const std::string& name) const { return dir_ + name; }

  void WriteMap(const std::string& geojson);
  // Replaces table dcmc of lexicon.sqlite with these rows, inserted in the given order.
  void WriteLexicon(const std::vector<LexiconRow>& rows);
  // Runs SQL statements on lexicon.sqlite (fails the test on an error).
  void ExecSql(const std::string& sql);
  // Writes isoDB.udl as Windows writes it: UTF-16LE with BOM, CRLF lines, "[oledb]", the
  // comment line, then "Provider=SQLite;Data Source=" + dataSource.
  void WriteUdl(const std::string& dataSource);
  // The same file with any initialisation string (UTF-8 here), e.g. an ODBC one.
  void WriteUdlInitString(const std::string& initString);
  void RemoveUdl();
  // An environment variable for the host process of the following runs.
  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }

  // Runs the host on `script` (UTF-8, LF lines) with the map, the plug-in, this folder as the
  // configuration directory, --out and --calls.
  HostRun Run(const std::string& script);

  // Directory of the host and the plug-in.
  static std::string BinDir();

 private:
  std::string dir_;  // ends with '/'
  std::map<std::string, std::string> env_;
};

}  // namespace stratumtest
