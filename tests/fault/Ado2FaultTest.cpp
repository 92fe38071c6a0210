// The ado2 layer on SQLite under failure: one session of CADODataBase and CADORecordset (open
// the database, open a query, walk it, FindFirst, SetFilter, SetSort, SetFieldValue and Update,
// a batch of three edits between BeginTrans and CommitTrans, Save as XML, close) run with the
// Nth SQLite allocation, read, write or sync failing, for every N the session reaches, once
// failing that call only and once every call from it on.
//
// What each run must show:
// - no crash, and no leak (the sanitizer build checks);
// - every failure comes back the way the layer reports that operation: Open (by user name),
//   the recordset's Open, Update and Save answer FALSE after one class error report (a message
//   box "CADODataBase Error" or "CADORecordset Error" with the failure's code and a
//   description, and the last error fields: "Connection String = " or "Query = ", the code);
//   BeginTrans answers -1 and CommitTrans FALSE after their ":( " traces;
// - what the session read is the table's content;
// - the database afterwards holds exactly the writes that reported success: a failed Update
//   leaves its row as it was, a failed batch (rolled back) leaves none of its rows changed.
// Compiled with GBK narrow literals, as the layer's users are.
#include <afx.h>
#include <debugapi.h>
#include <gtest/gtest.h>
#include <kp/kpdesktop.h>
#include <objbase.h>
#include <unistd.h>
#include <winnls.h>

#include <map>
#include <string>
#include <vector>

#include "ADODataBase.h"
#include "ADORecordset.h"
#include "FaultDatabase.h"
#include "FaultSweep.h"
#include "SqliteFaults.h"
#include "StrataTable.h"

namespace kp::fault {
namespace {

const char kQuery[] = "select id, name, code, depth from strata order by id";

std::vector<std::string> ToUtf8(const std::vector<std::string>& gbk) {
  std::vector<std::string> out;
  for (const std::string& row : gbk) out.push_back(kp::GbkToUtf8(row));
  return out;
}

// Collects the layer's traces while it is alive.
class Traces {
 public:
  Traces() { kp::SetTraceSink(&Traces::Sink, this); }
  ~Traces() { kp::SetTraceSink(nullptr, nullptr); }
  Traces(const Traces&) = delete;
  Traces& operator=(const Traces&) = delete;
  bool Contains(const std::string& part) const { return text_.find(part) != std::string::npos; }
  const std::string& Text() const { return text_; }

 private:
  static void Sink(const char* gbk, void* self) { static_cast<Traces*>(self)->text_ += gbk; }
  std::string text_;
};

class Session {
 public:
  Session(FaultDatabase& db, bool persistent) : db_(db), persistent_(persistent) {}

  std::string Failures() const { return tally_.Failures(); }

  void RunAndCheck(long n) {
    std::string path = db_.Fresh();
    std::string xml = db_.Folder() + "strata.xml";
    unlink(xml.c_str());
    StrataRun run = Perform("Provider=SQLite;Data Source=" + path, xml);
    SqliteFaults::Disarm();
    tally_.Count(n, run);
    // The layer's text of a whole double keeps the point, as _gcvt writes it.
    const std::vector<std::string> table = {"1|第四系|Q|10.5",   "2|新近系|N|120.25", "3|古近系|E|300.",
                                            "4|白垩系|K|850.75", "5|侏罗系|J|1400.",  "6|三叠系|T|NULL"};
    CheckStrataRun(run, table, FaultDatabase::Rows(path, kStrataContent), ToUtf8(StrataAfterWrites(run.writes)));
  }

 private:
  // Checks that a failure just made one class error report: a box whose text starts with
  // "<kind> Error", carries the code of the last error fields and a description.
  void CheckReport(const char* kind, const std::string& step, DWORD code, const CString& lastError,
                   const char* lastErrorPrefix) {
    const auto& boxes = desktop_.MessageBoxes();
    ASSERT_EQ(boxes.size(), boxesSeen_ + 1) << step << ": one error report expected";
    const std::string& text = boxes.back().text;
    boxesSeen_ = boxes.size();
    char head[64];
    std::snprintf(head, sizeof head, "%s Error\n\tCode = %08x\n", kind, (unsigned)code);
    EXPECT_EQ(text.rfind(head, 0), 0u) << step << ": " << text;
    EXPECT_TRUE(code >= 0x80000000u) << step << ": last error code " << std::hex << code;
    size_t description = text.find("\tDescription = ");
    EXPECT_TRUE(description != std::string::npos && text.size() > description + 16 &&
                text[description + 15] != '\n')
        << step << ": no description in " << text;
    EXPECT_EQ(std::string((LPCTSTR)lastError).rfind(lastErrorPrefix, 0), 0u) << step;
  }

  // Checks that a guarded operation's failure wrote its trace and showed nothing.
  void CheckTrace(const Traces& traces, const char* trace, const std::string& step) {
    EXPECT_TRUE(traces.Contains(trace)) << step << ": trace \"" << trace << "\" missing in " << traces.Text();
    EXPECT_EQ(desktop_.MessageBoxes().size(), boxesSeen_) << step << ": a guarded operation showed a box";
  }

  StrataRun Perform(const std::string& cs, const std::string& xml) {
    StrataRun run;
    kp::DesktopScope scope(&desktop_);
    boxesSeen_ = desktop_.MessageBoxes().size();
    Traces traces;
    CADODataBase db;
    std::string step = "open";
    if (!db.Open(cs.c_str(), "", "")) {
      run.failedStep = step;
      CheckReport("CADODataBase", step, db.GetLastErrorCode(), db.GetLastErrorString(),
                  "Connection String = ");
      return run;
    }
    CADORecordset rs(&db);
    bool inTransaction = false;
    try {
      step = "open recordset";
      if (!rs.Open(kQuery, CADORecordset::openQuery)) {
        CheckReport("CADORecordset", step, rs.GetLastErrorCode(), rs.GetLastErrorString(), "Query = ");
        throw step;
      }
      step = "walk";
      EXPECT_EQ(rs.GetRecordCount(), 6u);
      for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
        CString id, name, code, depth;
        EXPECT_TRUE(rs.GetFieldValue("id", id) && rs.GetFieldValue("name", name) &&
                    rs.GetFieldValue("code", code) && rs.GetFieldValue("depth", depth));
        if (rs.IsFieldNull("depth")) depth = "NULL";
        run.walked.push_back(std::string((LPCTSTR)(id + "|" + name + "|" + code + "|" + depth)));
      }

      step = "find";
      EXPECT_TRUE(rs.FindFirst("code = 'K'"));
      CString name;
      EXPECT_TRUE(rs.GetFieldValue("name", name));
      EXPECT_STREQ((LPCTSTR)name, "白垩系");

      step = "filter";
      EXPECT_TRUE(rs.SetFilter("depth > 200"));
      EXPECT_EQ(rs.GetRecordCount(), 3u);
      EXPECT_TRUE(rs.SetFilter(""));

      step = "sort";
      EXPECT_TRUE(rs.SetSort("depth DESC"));
      rs.MoveFirst();
      CString code;
      EXPECT_TRUE(rs.GetFieldValue("code", code));
      EXPECT_STREQ((LPCTSTR)code, "J");
      EXPECT_TRUE(rs.SetSort(""));

      step = "update";
      EXPECT_TRUE(rs.FindFirst("id = 2"));
      EXPECT_TRUE(rs.SetFieldValue("code", "N2"));
      if (!rs.Update()) {
        CheckReport("CADORecordset", step, rs.GetLastErrorCode(), rs.GetLastErrorString(), "Query = ");
        throw step;
      }
      ++run.writes;

      step = "batch update";
      if (db.BeginTrans() != 1) {
        CheckTrace(traces, ":( BeginTrans发生异常: ", step);
        throw step;
      }
      inTransaction = true;
      EXPECT_TRUE(rs.FindFirst("id = 3"));
      EXPECT_TRUE(rs.SetFieldValue("code", "E1"));
      bool written = rs.Update();
      if (written) {
        EXPECT_TRUE(rs.FindFirst("id = 4"));
        EXPECT_TRUE(rs.SetFieldValue("depth", 900.0));
        written = rs.Update();
      }
      if (written) {
        EXPECT_TRUE(rs.AddNew());
        EXPECT_TRUE(rs.SetFieldValue("name", "石炭系") && rs.SetFieldValue("code", "C") &&
                    rs.SetFieldValue("depth", 2000.0));
        written = rs.Update();
      }
      if (!written) {
        CheckReport("CADORecordset", step, rs.GetLastErrorCode(), rs.GetLastErrorString(), "Query = ");
        throw step;
      }
      if (!db.CommitTrans()) {
        CheckTrace(traces, ":( CommitTrans发生异常: ", step);
        throw step;
      }
      inTransaction = false;
      ++run.writes;

      step = "save";
      if (!rs.Save(xml.c_str())) {
        CheckReport("CADORecordset", step, rs.GetLastErrorCode(), rs.GetLastErrorString(), "Query = ");
        throw step;
      }
      step = "close";
      rs.Close();
      db.Close();
      step.clear();
    } catch (const std::string& failed) {
      run.failedStep = failed;
    } catch (const _com_error& e) {
      // Only navigation and Close let ADO's error through; none of them reaches SQLite here.
      run.failedStep = step;
      ADD_FAILURE() << step << ": _com_error 0x" << std::hex << e.Error();
    }
    if (!run.failedStep.empty()) {
      // A careful program rolls back what it began; once a one-shot fault has fired this works.
      if (inTransaction && !db.RollbackTrans() && !persistent_) {
        ADD_FAILURE() << "RollbackTrans after the failure at \"" << run.failedStep
                      << "\" failed: " << traces.Text();
      }
    }
    return run;  // the destructors close the recordset and the database
  }

  FaultDatabase& db_;
  bool persistent_;
  StrataTally tally_;
  kp::ScriptedDesktop desktop_;
  size_t boxesSeen_ = 0;
};

struct Mode {
  FaultKind kind;
  bool persistent;
};

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  return std::string(FaultKindName(info.param.kind)) + (info.param.persistent ? "_persistent" : "_once");
}

class Ado2UnderFaults : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    const char* why = nullptr;
    ASSERT_TRUE(SqliteFaults::Install(&why)) << why;
    CoInitialize(nullptr);  // one apartment for the whole test; each CADODataBase adds its own
  }
  void TearDown() override {
    SqliteFaults::Disarm();
    CoUninitialize();
  }
};

TEST_P(Ado2UnderFaults, EveryFaultPointOfTheSession) {
  FaultDatabase db(kp::GbkToUtf8(kStrataScript));
  Session session(db, GetParam().persistent);
  SweepStats stats =
      FaultSweep::Run(GetParam().kind, GetParam().persistent, [&](long n) { session.RunAndCheck(n); });
  EXPECT_GT(stats.calls, 0) << "the session made no " << FaultKindName(GetParam().kind) << " calls";
  std::printf("%s: %ld calls, %ld runs, %ld hits; runs by failed step: %s\n",
              ModeName({GetParam(), 0}).c_str(), stats.calls, stats.runs, stats.hits,
              session.Failures().c_str());
}

INSTANTIATE_TEST_SUITE_P(Sqlite, Ado2UnderFaults,
                         ::testing::Values(Mode{FaultKind::Malloc, false}, Mode{FaultKind::Malloc, true},
                                           Mode{FaultKind::Read, false}, Mode{FaultKind::Read, true},
                                           Mode{FaultKind::Write, false}, Mode{FaultKind::Write, true},
                                           Mode{FaultKind::Sync, false}, Mode{FaultKind::Sync, true}),
                         ModeName);

}  // namespace
}  // namespace kp::fault
