// CADOCommand and CADOParameter over every provider of Ado2TestSupport: commands with typed
// parameters (an int beyond 16 bits is not cut), the stored-procedure type (a PostgreSQL
// function called with the command's parameters; SQLite has none, and ADO's failure reaches the
// command's report), the full records-affected count of an update of many rows, parameter
// value sizes, NULL for empty text, and operator [] out of range.
#include <gtest/gtest.h>

#include <objbase.h>

#include "ADOCommand.h"
#include "ADODataBase.h"
#include "ADOParameter.h"
#include "ADORecordset.h"
#include "Ado2TestSupport.h"

namespace {

using ado2test::RecordedDesktop;
using ado2test::StartsWith;
using ado2test::TraceCapture;

class Command : public ado2test::ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (IsSkipped()) return;
    std::string cs = Create("create table t(id integer, name varchar(20), born datetime, w double)");
    ASSERT_TRUE(db_.Open(cs.c_str(), "", ""));
  }
  CADODataBase db_;
};

TEST_P(Command, TypedParametersReachTheStatement) {
  CADOCommand insert(&db_, "insert into t values(?, ?, ?, ?)", adCmdText);
  EXPECT_EQ(insert.GetType(), (int)adCmdText);
  ASSERT_TRUE(insert.AddParameter("id", adInteger, adParamInput, 4, 70000));
  ASSERT_TRUE(insert.AddParameter("name", adVarChar, adParamInput, 20, "第四系"));
  COleDateTime born;
  born.m_dt = 46100.5;
  ASSERT_TRUE(insert.AddParameter("born", adDBTimeStamp, adParamInput, 8, born));
  ASSERT_TRUE(insert.AddParameter("w", adDouble, adParamInput, 8, 2.5));
  _RecordsetPtr none = insert.Execute(adCmdText);
  ASSERT_TRUE(none != nullptr);  // ADO answers a closed recordset for a statement without rows
  EXPECT_EQ(none->GetState(), (LONG)adStateClosed);
  EXPECT_EQ(insert.GetValue(0L).lVal, 70000);
  EXPECT_TRUE(insert.GetParamter("name") != nullptr);

  CADOCommand select(&db_, "select * from t where id = ?", adCmdText);
  ASSERT_TRUE(select.AddParameter("id", adInteger, adParamInput, 4, 70000L));
  CADORecordset rows(&db_);
  ASSERT_TRUE(rows.Execute(&select));
  ASSERT_FALSE(rows.IsEOF());
  CString name, when;
  rows.GetFieldValue("name", name, "");
  rows.GetFieldValue("born", when, "");
  EXPECT_STREQ((LPCTSTR)name, "第四系");
  EXPECT_STREQ((LPCTSTR)when, "2026-03-19 12:00:00");
}

TEST_P(Command, StoredProcedureTypeReportsAMissingProcedure) {
  RecordedDesktop desktop;
  CADOCommand command(&db_, "no_such_procedure", adCmdStoredProc);
  ASSERT_TRUE(command.AddParameter("code", adVarChar, adParamInput, 10, CString("Q")));
  EXPECT_FALSE(command.Execute());  // no such procedure, or (SQLite) no procedures at all
  EXPECT_EQ(command.GetRecordsAffected(), 0);
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADOCommand Error"));
  EXPECT_EQ(std::string((LPCTSTR)command.GetLastErrorString()), desktop.Boxes()[0].text);
}

TEST_P(Command, StoredProcedureTypeCallsTheProcedureWithTheParameters) {
  RecordedDesktop desktop;
  CADOCommand command(&db_, "t_insert", adCmdStoredProc);
  ASSERT_TRUE(command.AddParameter("n", adInteger, adParamInput, 4, 70000));
  ASSERT_TRUE(command.AddParameter("s", adVarChar, adParamInput, 20, CString("第四系")));
  if (!GetParam().hasStoredProcedures) {
    // SQLite has no procedures: ADO fails the call, the layer shows its report.
    EXPECT_FALSE(command.Execute());
    ASSERT_EQ(desktop.Boxes().size(), 1u);
    EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADOCommand Error"));
    return;
  }
  EXPECT_TRUE(command.Execute()) << (LPCTSTR)command.GetLastErrorString();
  EXPECT_TRUE(desktop.Boxes().empty());
  CADORecordset rows(&db_);
  ASSERT_TRUE(rows.Open("select name from t where id = 70000", 1));
  ASSERT_EQ(rows.GetRecordCount(), 1u);
  CString name;
  ASSERT_TRUE(rows.GetFieldValue("name", name, ""));
  EXPECT_STREQ((LPCTSTR)name, "第四系");
}

// A parameter made with size 0 takes its size from the first value it is given (4 for int and
// long, 8 for double, the text's length in bytes) and keeps it for later values; empty text is
// NULL and sets the size 0 again; a size given at creation stays whatever the value.
TEST_P(Command, ParameterSizesAndValues) {
  CADOParameter number(adInteger, 0, adParamInput, "n");
  EXPECT_STREQ((LPCTSTR)number.GetName(), "n");
  EXPECT_EQ(number.GetSize(), 0);
  ASSERT_TRUE(number.SetValue(70000));
  EXPECT_EQ(number.GetSize(), 4);
  int n = 0;
  ASSERT_TRUE(number.GetValue(n));
  EXPECT_EQ(n, 70000);  // not cut to 16 bits

  CADOParameter wide(adInteger, 0, adParamInput, "l");
  ASSERT_TRUE(wide.SetValue(-5L));
  EXPECT_EQ(wide.GetSize(), 4);
  CADOParameter real(adDouble, 0, adParamInput, "d");
  ASSERT_TRUE(real.SetValue(2.5));
  EXPECT_EQ(real.GetSize(), 8);

  CADOParameter text(adVarChar, 0, adParamInput, "s");
  ASSERT_TRUE(text.SetValue(CString("")));
  EXPECT_EQ(text.GetSize(), 0);
  _variant_t value;
  ASSERT_TRUE(text.GetValue(value));
  EXPECT_EQ(value.vt, VT_NULL);
  ASSERT_TRUE(text.SetValue(CString("第四系")));
  EXPECT_EQ(text.GetSize(), 6);  // GBK bytes
  ASSERT_TRUE(text.SetValue(CString("ab")));
  EXPECT_EQ(text.GetSize(), 6);  // the first size stays
  CString back;
  ASSERT_TRUE(text.GetValue(back));
  EXPECT_STREQ((LPCTSTR)back, "ab");

  CADOParameter sized(adVarChar, 10, adParamInput, "s");
  ASSERT_TRUE(sized.SetValue(CString("abc")));
  EXPECT_EQ(sized.GetSize(), 10);
  ASSERT_TRUE(sized.GetValue(back));
  EXPECT_STREQ((LPCTSTR)back, "abc");

  CADOParameter flag(adBoolean, 0, adParamInput, "f");
  ASSERT_TRUE(flag.SetValue(true));
  bool b = false;
  ASSERT_TRUE(flag.GetValue(b));
  EXPECT_TRUE(b);
  ASSERT_TRUE(flag.GetValueString(back));
  EXPECT_STREQ((LPCTSTR)back, "TRUE");
}

// Execute keeps the provider's whole count of an update of many rows (beyond 16 bits); the
// command's own type (text here) decides how its text is run.
TEST_P(Command, ExecuteCountsTheRowsOfAnUpdateOfManyRows) {
  ASSERT_TRUE(
      db_.Execute("insert into t(id) with recursive c(x) as (select 1 union all select x + 1 from c "
                  "where x < 70000) select x from c"));
  CADOCommand update(&db_, "update t set w = id * 0.5 where id > 10", adCmdText);
  ASSERT_TRUE(update.Execute()) << (LPCTSTR)update.GetLastErrorString();
  EXPECT_EQ(update.GetRecordsAffected(), 69990);
  CADOCommand none(&db_, "update t set w = 0 where id < 0", adCmdText);
  ASSERT_TRUE(none.Execute());
  EXPECT_EQ(none.GetRecordsAffected(), 0);
}

TEST_P(Command, ParameterObjectsAreAppendedAndAttached) {
  CADOCommand command(&db_, "insert into t(id) values(?)", adCmdText);
  CADOParameter id(adInteger, 4, adParamInput, "id");
  ASSERT_TRUE(id.SetValue(7L));
  ASSERT_TRUE(command.AddParameter(&id));
  CADOParameter attached = command[0L];
  long value = 0;
  ASSERT_TRUE(attached.GetValue(value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(attached.GetParameter() == id.GetParameter());
  CADORecordset none(&db_);
  EXPECT_TRUE(none.Execute(&command));
  CADORecordset rows(&db_);
  ASSERT_TRUE(rows.Open("select id from t", 1));
  EXPECT_EQ(rows.GetRecordCount(), 1u);
}

TEST_P(Command, IndexOutOfRangeGivesAFreshParameter) {
  CADOCommand command(&db_, "select 1", adCmdText);
  TraceCapture traces;
  CADOParameter fresh = command[5L];
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: operator [] 方法发生异常. 错误信息: "));
  EXPECT_TRUE(fresh.GetParameter() != nullptr);  // made by ProgID, attached to nothing
  EXPECT_TRUE(command.GetParamter(5L) == nullptr);
}

TEST_P(Command, RecordsetExecuteReportsFailuresAsTheRecordset) {
  RecordedDesktop desktop;
  CADOCommand command(&db_, "select * from nowhere", adCmdText);
  CADORecordset rows(&db_);
  EXPECT_FALSE(rows.Execute(&command));
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADORecordset Error"));
}

INSTANTIATE_TEST_SUITE_P(Providers, Command, ::testing::ValuesIn(ado2test::Providers()),
                         ado2test::ProviderName);

TEST(Parameter, DefaultConstructorWithoutComShowsTheBox) {
  RecordedDesktop desktop;
  TraceCapture traces;
  CADOParameter parameter;  // no CoInitialize on this thread
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].text, "Parameter 对象创建失败! 请确认是否初始化了Com环境.");
  EXPECT_TRUE(parameter.GetParameter() == nullptr);
  EXPECT_NE(traces.text().find("Assertion failed: "), std::string::npos);
}

}  // namespace
