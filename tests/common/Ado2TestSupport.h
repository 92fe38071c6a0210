// Test support for the ado2 layer: the providers the database tests run against, a trace
// capture and a scripted desktop that records message boxes.
//
// Database tests are written once and bound per provider: each test suite is parameterised by
// a TestProvider, which turns a setup script (portable SQL) into a database and answers the
// connection string. SQLite always exists here (files made with the sqlite3 C API in a
// temporary folder); the ODBC providers (SQLite's ODBC driver on the same kind of file, and
// PostgreSQL on the test server) are always listed too, and their cases skip, naming the
// reason, where the machine lacks the driver or the server. A provider's known differences are
// flags on it, and tests that meet them say so.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "debugapi.h"
#include "kp/kpdesktop.h"
#include "objbase.h"

namespace ado2test {

struct TestProvider {
  std::string name;  // test-name suffix: "SQLite", "SqliteOdbc", "PostgresOdbc"
  // Makes a fresh database from the script (statements separated by ';') and answers its
  // connection string. The script is GBK text; it is stored as the provider keeps text. Throws
  // std::runtime_error when the database cannot be made.
  std::string (*create)(const std::string& script, const std::string& tag);
  // SQLite has no stored procedures, so its stored-procedure paths fail as ADO reports. A
  // provider with them adds these two to every database it makes (they read and write the
  // tables of the suites' scripts, which need not exist when the database is made):
  //   stratum_rows()              the rows (dcmc, dcdm, dcbm) of table dcmc in dcbm order
  //   t_insert(n integer, s text) inserts (n, s) into t(id, name) and answers n
  bool hasStoredProcedures = false;
  // Empty when the provider can run on this machine, else why not (in words fit for a skip).
  std::string (*unavailable)() = nullptr;

  // Known differences of the engine behind the provider, each allowed explicitly by the tests
  // that meet it.
  // Only the SQLite provider's engine compacts a database into another (JRO's CompactDatabase).
  bool compactsDatabases = false;
  // The SQLite provider types columns by SQLite's declared type names, unsigned ones included
  // (tinyint is adUnsignedTinyInt, unsigned int adUnsignedInt, unsigned big int
  // adUnsignedBigInt), and refuses values outside their ranges. ODBC has no unsigned SQL types:
  // on PostgreSQL those columns are smallint and bigint (see the translation); SQLite's driver
  // describes tinyint as signed (a stored 200 is beyond it and arrives as VT_I8, the platform
  // never cuts a value) and unsigned int and unsigned big int as text.
  bool unsignedTypes = false;
  // money is adCurrency (VT_CY) with the SQLite provider. ODBC has no currency type: PostgreSQL's
  // driver describes money as a double, SQLite's driver as text, so the value reads as a number.
  bool currencyType = false;
  // numeric(p,s) columns are exact (adNumeric, VT_DECIMAL values). SQLite's ODBC driver
  // describes them as doubles, so a value arrives as VT_R8 with its binary digits.
  bool exactNumerics = true;
  // Text columns are adVarChar. The "PostgreSQL Unicode" driver describes them as SQL_WVARCHAR,
  // so they are adVarWChar there (as MSDASQL makes them on Windows); the values are the same.
  bool narrowTextTypes = true;
};

inline void PrintTo(const TestProvider& provider, std::ostream* os) {
  *os << provider.name;
}

// Every provider the tests know (SQLite first), available on this machine or not.
std::vector<TestProvider> Providers();
// The name gtest shows for a provider parameter.
inline std::string ProviderName(const ::testing::TestParamInfo<TestProvider>& info) {
  return info.param.name;
}

// Base of the provider-parameterised suites: keeps one COM apartment for the whole test (so
// objects outlive a CADODataBase), skips, naming the reason, when the provider cannot run
// here, and makes the test's database. A derived SetUp calls this one first and returns when
// IsSkipped().
class ProviderTest : public ::testing::TestWithParam<TestProvider> {
 protected:
  void SetUp() override {
    const TestProvider& provider = GetParam();
    std::string why = provider.unavailable != nullptr ? provider.unavailable() : std::string();
    if (!why.empty()) GTEST_SKIP() << provider.name << " is not available: " << why;
  }
  // A fresh database made from script, named after the running test; its connection string.
  std::string Create(const std::string& script) {
    return GetParam().create(script, ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

 private:
  struct ComScope {
    ComScope() { ::CoInitialize(nullptr); }
    ~ComScope() { ::CoUninitialize(); }
  } com_;
};

// A fresh empty folder for this test, removed at exit.
std::string TempDir();

// Collects the traces written while it is alive.
class TraceCapture {
 public:
  TraceCapture() { kp::SetTraceSink(&TraceCapture::Sink, this); }
  ~TraceCapture() { kp::SetTraceSink(nullptr, nullptr); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  const std::string& text() const { return text_; }
  bool Contains(const std::string& part) const { return text_.find(part) != std::string::npos; }
  void clear() { text_.clear(); }

 private:
  static void Sink(const char* gbkText, void* ctx) { static_cast<TraceCapture*>(ctx)->text_ += gbkText; }
  std::string text_;
};

// A scripted desktop installed for the life of the object; message boxes answer OK.
class RecordedDesktop {
 public:
  RecordedDesktop() : scope_(&desktop_) {}
  const std::vector<kp::ScriptedDesktop::MessageBoxSeen>& Boxes() const { return desktop_.MessageBoxes(); }

 private:
  kp::ScriptedDesktop desktop_;
  kp::DesktopScope scope_;
};

// Whether text starts with prefix.
inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace ado2test
