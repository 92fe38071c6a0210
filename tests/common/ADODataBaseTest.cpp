// CADODataBase over every provider of Ado2TestSupport: opening (by user, by options, data-link
// file, the three builders and their quoting), the report styles of each failure (class error
// report with "Connection String = " last error text and one box; "Warning: " traces and no
// box), statements with the full records-affected count, transactions and time-outs.
#include <gtest/gtest.h>

#include <filesystem>

#include <objbase.h>

#include <fstream>
#include <memory>

#include "ADODataBase.h"
#include "ADORecordset.h"
#include "Ado2TestSupport.h"

namespace {

using ado2test::RecordedDesktop;
using ado2test::StartsWith;
using ado2test::TraceCapture;

using Database = ado2test::ProviderTest;

const char kTable[] =
    "create table t(id integer primary key, name varchar(20));"
    "insert into t values(1, '第四系');insert into t values(2, 'b')";

TEST_P(Database, OpenByUserOpensAndReopens) {
  std::string cs = Create(kTable);
  CADODataBase db;
  RecordedDesktop desktop;
  EXPECT_FALSE(db.IsOpen());
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(db.GetState(), (long)adStateOpen);
  EXPECT_STREQ((LPCTSTR)db.GetConnectionString(), cs.c_str());
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));  // closes first, reopens
  db.Close();
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST(DatabaseReports, FailedOpenByUserShowsOneBoxAndKeepsTheConnectionString) {
  CADODataBase db;
  RecordedDesktop desktop;
  TraceCapture traces;
  const char cs[] = "Provider=NoSuchProvider;Data Source=x";
  EXPECT_FALSE(db.Open(cs, "reader", "secret"));
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADODataBase Error\n\tCode = "));
  EXPECT_EQ(desktop.Boxes()[0].type, (UINT)(MB_OK | MB_ICONERROR));
  std::string last = (LPCTSTR)db.GetLastErrorString();
  EXPECT_EQ(last, std::string("Connection String = ") + cs + "\n" + desktop.Boxes()[0].text);
  EXPECT_NE(db.GetLastErrorCode(), 0u);
  EXPECT_FALSE(db.IsOpen());
}

TEST(DatabaseReports, SqlServerBuilderLeavesAnEmptyPasswordEmpty) {
  CADODataBase db;
  RecordedDesktop desktop;
  EXPECT_FALSE(db.OpenSQLServer("db", "srv", "reader", ""));  // no SQLOLEDB provider here
  EXPECT_STREQ((LPCTSTR)db.GetConnectionString(),
               "Provider=SQLOLEDB.1;Driver={SQL Server};UID=reader;PWD=;DATABASE=db;Server=srv");
  EXPECT_EQ(desktop.Boxes().size(), 1u);
}

TEST(DatabaseReports, BuildersQuoteValuesThatCouldAddKeys) {
  CADODataBase db;
  RecordedDesktop desktop;
  EXPECT_FALSE(db.OpenODBC("MSDASQL", "a;Provider=evil", " u", "p\"q"));
  EXPECT_STREQ((LPCTSTR)db.GetConnectionString(),
               "ODBC;Provider=MSDASQL;Data Source=\"a;Provider=evil\";UID=\" u\";PWD=\"p\"\"q\"");
  EXPECT_FALSE(db.OpenJetFile("C:\\data\\工程.mdb"));
  EXPECT_STREQ((LPCTSTR)db.GetConnectionString(),
               "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\data\\工程.mdb");
}

TEST(DatabaseReports, ConnectionValueQuotesOnlyWhatNeedsIt) {
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue(""), "");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("plain value"), "plain value");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("{SQL Server}"), "{SQL Server}");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("x;y"), "\"x;y\"");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("it's"), "\"it's\"");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("trail "), "\"trail \"");
  EXPECT_STREQ((LPCTSTR)CADODataBase::ConnectionValue("say \"hi\""), "\"say \"\"hi\"\"\"");
}

TEST(DatabaseReports, MissingDataLinkFileTracesTwiceAndShowsNoBox) {
  CADODataBase db;
  RecordedDesktop desktop;
  TraceCapture traces;
  std::string path = ado2test::TempDir() + "/missing/isoDB.udl";
  EXPECT_FALSE(db.OpenUDLFile(path.c_str(), -1));
  EXPECT_STREQ((LPCTSTR)db.GetConnectionString(), ("File Name=" + path).c_str());
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: 连接数据库发生异常. 错误信息: "));
  EXPECT_NE(traces.text().find("; 文件: "), std::string::npos);
  EXPECT_NE(traces.text().find("\r\n"), std::string::npos);  // the provider error list trace
  EXPECT_TRUE(desktop.Boxes().empty());
  EXPECT_TRUE(db.GetLastErrorString().IsEmpty());
}

TEST_P(Database, OpensThroughADataLinkFile) {
  std::string cs = Create(kTable);
  std::string udl = ado2test::TempDir() + "/" + GetParam().name + "-isoDB.udl";
  std::ofstream(udl) << "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" << cs << "\r\n";
  CADODataBase db;
  ASSERT_TRUE(db.OpenUDLFile(udl.c_str(), -1));
  EXPECT_TRUE(db.IsOpen());
}

TEST_P(Database, OpenByOptionsReusesTheStoredString) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), -1L));
  db.Close();
  EXPECT_TRUE(db.Open("", -1L));
  EXPECT_TRUE(db.IsOpen());
}

TEST(DatabaseReports, OpenByOptionsWithNothingStoredFailsWithoutAdo) {
  CADODataBase db;
  RecordedDesktop desktop;
  TraceCapture traces;
  EXPECT_FALSE(db.Open("", -1L));
  EXPECT_TRUE(StartsWith(traces.text(), "Assertion failed: "));
  EXPECT_EQ(traces.text().find("连接数据库"), std::string::npos);  // ADO was not called
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_P(Database, ConnectionTimeoutIsSentOnlyWhenNonZeroAndOnlyByOpenByUser) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_EQ(db.GetConnectTimeOut(), 15);  // 0 stored: ADO's default stays
  db.Close();
  db.SetConnectionTimeout(7);
  ASSERT_TRUE(db.Open(cs.c_str(), -1L));
  EXPECT_EQ(db.GetConnectTimeOut(), 15);  // not by options
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_EQ(db.GetConnectTimeOut(), 7);
}

TEST_P(Database, ExecuteKeepsTheFullRecordsAffectedCount) {
  std::string cs = Create("create table big(n integer)");
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  ASSERT_TRUE(
      db.Execute("insert into big with recursive c(x) as (select 1 union all select x + 1 from c "
                 "where x < 70000) select x from c"));
  EXPECT_EQ(db.GetRecordsAffected(), 70000);
  ASSERT_TRUE(db.Execute("update big set n = n + 1 where n <= 3"));
  EXPECT_EQ(db.GetRecordsAffected(), 3);
}

TEST_P(Database, FailedStatementGoesToTheErrorReport) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  RecordedDesktop desktop;
  EXPECT_FALSE(db.Execute("insert into no_such_table values(1)"));
  EXPECT_EQ(db.GetRecordsAffected(), 0);
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(
      StartsWith((LPCTSTR)db.GetLastErrorString(), "Connection String = " + cs + "\nCADODataBase Error"));
  EXPECT_FALSE(db.GetErrorDescription().IsEmpty());
}

TEST_P(Database, ExecuteForRecordsTracesFailuresWithoutABox) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  RecordedDesktop desktop;
  TraceCapture traces;
  _RecordsetPtr rows = db.Execute("select name from t order by id", adCmdText);
  ASSERT_TRUE(rows != nullptr);
  EXPECT_EQ(rows->GetRecordCount(), -1);  // Connection.Execute answers a forward-only recordset
  EXPECT_TRUE(db.Execute("select * from nothing_here", adCmdText) == nullptr);
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: Execute 方法发生异常. 错误信息: "));
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_P(Database, TransactionsCommitAndRollBack) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_EQ(db.BeginTrans(), 1);
  ASSERT_TRUE(db.Execute("insert into t values(3, 'c')"));
  EXPECT_TRUE(db.RollbackTrans());
  ASSERT_TRUE(db.Execute("delete from t where id = 3"));
  EXPECT_EQ(db.GetRecordsAffected(), 0);
  EXPECT_EQ(db.BeginTrans(), 1);
  ASSERT_TRUE(db.Execute("insert into t values(3, 'c')"));
  EXPECT_TRUE(db.CommitTrans());
  ASSERT_TRUE(db.Execute("delete from t where id = 3"));
  EXPECT_EQ(db.GetRecordsAffected(), 1);
}

TEST_P(Database, CommitWithoutTransactionIsTraced) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  TraceCapture traces;
  EXPECT_FALSE(db.CommitTrans());
  EXPECT_TRUE(StartsWith(traces.text(), ":( CommitTrans发生异常: "));
}

TEST_P(Database, DestroyingAnOpenObjectClosesTheConnection) {
  std::string cs = Create(kTable);
  _ConnectionPtr connection;
  {
    CADODataBase db;
    ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
    _ConnectionPtr held = db.GetActiveConnection();
    connection = held;
  }
  EXPECT_EQ(connection->GetState(), (LONG)adStateClosed);
}

TEST_P(Database, StateGettersAndModeWhileClosed) {
  std::string cs = Create(kTable);
  CADODataBase db;
  EXPECT_TRUE(db.SetMode(adModeRead));
  EXPECT_EQ(db.GetMode(), (long)adModeRead);
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_STREQ((LPCTSTR)db.GetVersion(), "2.8");  // ADO 2.8, the last 2.x release
  EXPECT_TRUE(db.GetError(0) == nullptr);         // no provider errors yet
  EXPECT_TRUE(db.GetLastError().IsEmpty());
}

// Without a connection object every getter fails with ADO's null-pointer error: each reports
// it by its own trace and answers its failure value.
TEST(DatabaseReports, GettersOfAReleasedConnectionTraceAndAnswerTheFailureValue) {
  CADODataBase db;
  ASSERT_TRUE(db.Release());
  TraceCapture traces;
  EXPECT_STREQ((LPCTSTR)db.GetVersion(), "");
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: GetVersion 方法发生异常. 错误信息: "));
  traces.clear();
  EXPECT_EQ(db.GetConnectTimeOut(), -1);
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: GetConnectTimeOut 方法发生异常. 错误信息: "));
  traces.clear();
  EXPECT_EQ(db.GetState(), -1);
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: GetState 发生异常. 错误信息: "));
  EXPECT_FALSE(db.IsOpen());
}

// Reopening inside a transaction: ADO refuses to close the connection (adErrInTransaction,
// 3246). The open operations report that in their own style and answer FALSE rather than let
// the COM error through; the connection and its transaction stay as they were.
TEST_P(Database, ReopeningInsideATransactionIsReportedAndChangesNothing) {
  std::string cs = Create(kTable);
  CADODataBase db;
  ASSERT_TRUE(db.Open(cs.c_str(), "", ""));
  EXPECT_EQ(db.BeginTrans(), 1);
  ASSERT_TRUE(db.Execute("insert into t values(3, 'c')"));
  RecordedDesktop desktop;
  TraceCapture traces;
  EXPECT_FALSE(db.Open(cs.c_str(), "", ""));
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(db.GetLastErrorCode(), 0x800A0CAEu);
  EXPECT_FALSE(db.Open(cs.c_str(), -1));
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: 连接数据库发生异常. 错误信息: "));
  EXPECT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(db.IsOpen());
  EXPECT_TRUE(db.CommitTrans());
  ASSERT_TRUE(db.Execute("delete from t where id = 3"));
  EXPECT_EQ(db.GetRecordsAffected(), 1);
}

// Destroying the object inside a transaction rolls the transaction back and closes the
// connection, even while another object (here a recordset) still holds the ADO connection:
// nothing of the transaction is written, and no trace says the close failed.
TEST_P(Database, DestroyingAnObjectInsideATransactionRollsItBack) {
  std::string cs = Create(kTable);
  CADODataBase reader;
  ASSERT_TRUE(reader.Open(cs.c_str(), "", ""));
  auto db = std::make_unique<CADODataBase>();
  ASSERT_TRUE(db->Open(cs.c_str(), "", ""));
  CADORecordset holder(db.get());  // keeps the ADO connection alive past db
  EXPECT_EQ(db->BeginTrans(), 1);
  ASSERT_TRUE(db->Execute("insert into t values(3, 'c')"));
  ASSERT_TRUE(db->Execute("update t set name = 'x' where id = 1"));
  TraceCapture traces;
  db.reset();
  EXPECT_EQ(traces.text(), "");
  EXPECT_EQ(holder.GetActiveConnection()->GetState(), (LONG)adStateClosed);
  CADORecordset rows(&reader);
  ASSERT_TRUE(rows.Open("select name from t order by id", 1));
  EXPECT_STREQ((LPCTSTR)rows.GetString(",", ";", "", 0), "第四系;b;");
}

TEST(DatabaseReports, CompactDatabaseFailsForAJetSource) {
  EXPECT_FALSE(CADODataBase::CompactDatabase("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb",
                                             "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=b.mdb"));
}

TEST_P(Database, CompactDatabaseWritesTheDestination) {
  std::string cs = Create(kTable);
  std::string destination = ado2test::TempDir() + "/" + GetParam().name + "-compacted.db";
  if (!GetParam().compactsDatabases) {
    // Only the SQLite provider's engine compacts: other sources fail and write nothing.
    EXPECT_FALSE(
        CADODataBase::CompactDatabase(cs.c_str(), ("Provider=SQLite;Data Source=" + destination).c_str()));
    EXPECT_FALSE(std::filesystem::exists(destination));
    return;
  }
  ASSERT_TRUE(
      CADODataBase::CompactDatabase(cs.c_str(), ("Provider=SQLite;Data Source=" + destination).c_str()));
  CADODataBase db;
  ASSERT_TRUE(db.Open(("Provider=SQLite;Data Source=" + destination).c_str(), "", ""));
  ASSERT_TRUE(db.Execute("delete from t"));
  EXPECT_EQ(db.GetRecordsAffected(), 2);
}

INSTANTIATE_TEST_SUITE_P(Providers, Database, ::testing::ValuesIn(ado2test::Providers()),
                         ado2test::ProviderName);

}  // namespace
