// Test support for the ado2 layer: the providers the database tests run against, a trace
// capture and a scripted desktop that records message boxes.
//
// Database tests are written once and bound per provider: each test suite is parameterised by
// a TestProvider, which turns a setup script (portable SQL) into a database and answers the
// connection string. SQLite always exists here (files made with the sqlite3 C API in a
// temporary folder); the ODBC providers add themselves to Providers() where the machine has
// them. A provider's known differences are flags on it, and tests that meet them say so.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "debugapi.h"
#include "kpdesktop.h"

namespace ado2test {

struct TestProvider {
  std::string name;  // test-name suffix: "SQLite", ...
  // Makes a fresh database from the script (statements separated by ';') and answers its
  // connection string. The script is GBK text; it is stored as the provider keeps text.
  std::string (*create)(const std::string& script, const std::string& tag);
  bool hasStoredProcedures;  // SQLite: none, so stored-procedure paths fail as ADO reports
};

inline void PrintTo(const TestProvider& provider, std::ostream* os) {
  *os << provider.name;
}

// Every provider this machine has (SQLite first).
std::vector<TestProvider> Providers();
// The name gtest shows for a provider parameter.
inline std::string ProviderName(const ::testing::TestParamInfo<TestProvider>& info) {
  return info.param.name;
}

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
