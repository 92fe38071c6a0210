// The host run of HostSession.h: the folder, the lexicon (sqlite3 C API), the data-link file and
// the host process (fork/exec with its output sent to files in the folder).
#include "HostSession.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace stratumtest {

const char kSectionMap[] = R"({"type": "FeatureCollection", "name": "test section",
 "map": {"scale": 5000, "scaleUnit": 2},
 "features": [
  {"type": "Feature", "id": 1, "properties": {"entityType": 2, "deleted": false, "name": "upper"},
   "geometry": {"type": "LineString", "coordinates": [[0, 10], [10, 10]]}},
  {"type": "Feature", "id": 2, "properties": {"entityType": 2, "deleted": false, "name": "lower"},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [5, 0], [10, 0]]}},
  {"type": "Feature", "id": 3, "properties": {"entityType": 14, "deleted": false, "name": "top"},
   "geometry": {"type": "LineString", "coordinates": [[0, 20], [10, 20]]}},
  {"type": "Feature", "id": 4, "properties": {"entityType": 40, "deleted": false, "text": "label"},
   "geometry": {"type": "Point", "coordinates": [5, 5]}},
  {"type": "Feature", "id": 5, "properties": {"entityType": 3, "deleted": false, "name": "far"},
   "geometry": {"type": "LineString", "coordinates": [[100, 0], [110, 5], [120, 0]]}}
 ]})";

namespace {

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// UTF-16LE of UTF-8 text of the Basic Multilingual Plane (paths and the fixed udl lines).
std::string Utf16Le(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned unit = c;
    size_t width = 1;
    if (c >= 0xE0) {
      unit = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      width = 3;
    } else if (c >= 0xC0) {
      unit = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      width = 2;
    }
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
    i += width;
  }
  return out;
}

}  // namespace

const nlohmann::json* HostRun::Feature(int id) const {
  if (!map.is_object() || !map.contains("features")) return nullptr;
  for (const auto& f : map["features"])
    if (f.value("id", -1) == id) return &f;
  return nullptr;
}

bool HostRun::Deleted(int id) const {
  const nlohmann::json* f = Feature(id);
  return f != nullptr && f->at("properties").value("deleted", false);
}

std::vector<nlohmann::json> HostRun::Strata() const {
  std::vector<nlohmann::json> strata;
  if (!map.is_object() || !map.contains("features")) return strata;
  for (const auto& f : map["features"])
    if (f["properties"].value("entityType", 0) == 27) strata.push_back(f);
  return strata;
}

testing::AssertionResult HostRun::CallsInOrder(const std::vector<std::string>& expected) const {
  size_t at = 0;
  for (const std::string& line : expected) {
    while (at < calls.size() && calls[at] != line) ++at;
    if (at == calls.size()) {
      std::string log;
      for (const std::string& c : calls) log += "  " + c + "\n";
      return testing::AssertionFailure() << "call \"" << line << "\" missing or out of order in:\n" << log;
    }
    ++at;
  }
  return testing::AssertionSuccess();
}

int HostRun::CountCalls(const std::string& line) const {
  int n = 0;
  for (const std::string& c : calls) n += c == line;
  return n;
}

HostSession::HostSession() {
  std::string pattern = testing::TempDir() + "stratum-host-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
  dir_ = std::string(buffer.data()) + "/";
  WriteMap(kSectionMap);
  WriteLexicon({{"砂岩", "SS", 10}, {"泥岩", "MS", 20}, {"灰岩", "LS", 30}});
  WriteUdl(PathOf("lexicon.sqlite"));
}

HostSession::~HostSession() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void HostSession::WriteMap(const std::string& geojson) {
  WriteFile(PathOf("map.geojson"), geojson);
}

void HostSession::ExecSql(const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(PathOf("lexicon.sqlite").c_str(), &db) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open the lexicon: " << sqlite3_errmsg(db);
  } else {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
      ADD_FAILURE() << "lexicon SQL failed: " << (error ? error : "?") << "\n" << sql;
    sqlite3_free(error);
  }
  sqlite3_close(db);
}

void HostSession::WriteLexicon(const std::vector<LexiconRow>& rows) {
  std::string sql =
      "DROP TABLE IF EXISTS dcmc; CREATE TABLE dcmc (dcmc VARCHAR(50), dcdm VARCHAR(100), dcbm INTEGER);";
  auto text = [](const std::optional<std::string>& v) {
    if (!v) return std::string("NULL");
    std::string quoted = "'";
    for (char c : *v) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
  };
  for (const LexiconRow& row : rows) {
    sql += "INSERT INTO dcmc (dcmc, dcdm, dcbm) VALUES (" + text(row.name) + ", " + text(row.code) + ", " +
           (row.order ? std::to_string(*row.order) : std::string("NULL")) + ");";
  }
  ExecSql(sql);
}

void HostSession::WriteUdl(const std::string& dataSource) {
  WriteUdlInitString("Provider=SQLite;Data Source=" + dataSource);
}

void HostSession::WriteUdlInitString(const std::string& initString) {
  std::string text =
      "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" + initString + "\r\n";
  WriteFile(PathOf("isoDB.udl"), "\xFF\xFE" + Utf16Le(text));
}

void HostSession::RemoveUdl() {
  std::filesystem::remove(PathOf("isoDB.udl"));
}

std::string HostSession::BinDir() {
  if (const char* dir = std::getenv("KP_BIN_DIR"); dir != nullptr && *dir != '\0')
    return std::string(dir) + "/";
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

HostRun HostSession::Run(const std::string& script) {
  WriteFile(PathOf("script.txt"), script);
  std::filesystem::remove(PathOf("out.geojson"));
  std::filesystem::remove(PathOf("calls.txt"));
  const std::string host = BinDir() + "sectionhost";
  const std::vector<std::string> args = {host,
                                         "--map",
                                         PathOf("map.geojson"),
                                         "--script",
                                         PathOf("script.txt"),
                                         "--plugin",
                                         BinDir() + "libkpSect03StratumSel.so",
                                         "--config-dir",
                                         dir_,
                                         "--out",
                                         PathOf("out.geojson"),
                                         "--calls",
                                         PathOf("calls.txt")};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string outPath = PathOf("stdout.txt"), errPath = PathOf("stderr.txt");

  HostRun run;
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(dir_.c_str()) != 0) _exit(125);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& [name, value] : env_) setenv(name.c_str(), value.c_str(), 1);
    execv(host.c_str(), argv.data());
    _exit(126);
  }
  int wstatus = 0;
  if (pid < 0 || waitpid(pid, &wstatus, 0) != pid) {
    ADD_FAILURE() << "could not run " << host;
    return run;
  }
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  if (std::filesystem::exists(PathOf("out.geojson")))
    run.map = nlohmann::json::parse(ReadFile(PathOf("out.geojson")), nullptr, false);
  std::istringstream calls(ReadFile(PathOf("calls.txt")));
  for (std::string line; std::getline(calls, line);) run.calls.push_back(line);
  return run;
}

}  // namespace stratumtest
