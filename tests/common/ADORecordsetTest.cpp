// CADORecordset over every provider of Ado2TestSupport: the stratum dialog's path (query with
// option 1, count, walk, text reads), the open options and their reports (option 3 opens the
// rows of a stored procedure where the provider has them), GetRecordCount's walk
// when the provider answers -1, navigation letting ADO's COM error through, field text of every
// type a provider yields, display text and the disconnection box, writes (NULL for empty text,
// no 16-bit truncation), SetValueString's refusals, field info, finding, filtering, editing
// and XML persistence. Chunks and the bitmap form are in ADOChunkTest.cpp.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstring>
#include <vector>

#include "ADODataBase.h"
#include "ADORecordset.h"
#include "Ado2TestSupport.h"
#include "kp/kpado.h"

namespace {

using ado2test::RecordedDesktop;
using ado2test::StartsWith;
using ado2test::TraceCapture;

const char kScript[] =
    "create table dcmc(dcmc varchar(40), dcdm varchar(10), dcbm integer);"
    "insert into dcmc values('二叠系', 'P', 3);"
    "insert into dcmc values('第四系', 'Q', 1);"
    "insert into dcmc values('无', '-', 2);"
    "create table kinds(tiny tinyint, small smallint, i integer, big bigint, ubig unsigned big int,"
    " ui unsigned int, f4 float4, d double, num numeric(10,2), money money, flag boolean, ts datetime,"
    " nul varchar(10), s varchar(10));"
    "insert into kinds values(200, -32768, 70000, 9000000000, 9223372036854775807, 4000000000, 2.25, 0.5,"
    " 123.45, 4.5, true, '2026-03-19 13:30:05', null, '第四系')";

// Opens the database once per test.
class Recordset : public ado2test::ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (IsSkipped()) return;
    cs_ = Create(kScript);
    ASSERT_TRUE(db_.Open(cs_.c_str(), "", ""));
  }

  std::string cs_;
  CADODataBase db_;
};

// A recordset that adopts what Connection.Execute answers: server-side and forward-only, the
// way to meet a provider that cannot tell its record count.
class ServerSideRecordset : public CADORecordset {
 public:
  ServerSideRecordset(CADODataBase* db, const char* sql) : CADORecordset(db) {
    _RecordsetPtr rows = db->Execute(sql, adCmdText);
    m_pRecordset = rows;
  }
};

TEST_P(Recordset, StratumDialogPathReadsNamesInCodeOrder) {
  RecordedDesktop desktop;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc order by dcbm", 1));
  EXPECT_TRUE(records.IsOpen());
  EXPECT_EQ(records.GetCursorType(), (long)adOpenStatic);
  EXPECT_EQ(records.GetCursorLocation(), (long)adUseClient);
  ASSERT_EQ(records.GetRecordCount(), 3u);
  records.MoveFirst();
  std::vector<std::string> names, codes;
  for (DWORD i = 0; i < 3; ++i) {
    CString name = "x", code = "x";
    ASSERT_TRUE(records.GetFieldValue("dcmc", name, ""));
    ASSERT_TRUE(records.GetFieldValue("dcdm", code, ""));
    names.push_back((LPCTSTR)name);
    codes.push_back((LPCTSTR)code);
    records.MoveNext();
  }
  EXPECT_TRUE(records.IsEOF());
  EXPECT_EQ(names, (std::vector<std::string>{"第四系", "无", "二叠系"}));
  EXPECT_EQ(codes, (std::vector<std::string>{"Q", "-", "P"}));
  records.Close();
  EXPECT_FALSE(records.IsOpen());
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_P(Recordset, UnknownOpenOptionIsTracedAndAdoIsNotCalled) {
  RecordedDesktop desktop;
  TraceCapture traces;
  CADORecordset records(&db_);
  EXPECT_FALSE(records.Open("select * from dcmc", 7));
  EXPECT_EQ(traces.text(), "Unknown parameter. 7");
  EXPECT_FALSE(records.IsOpen());
  // The cursor is set up before the option is judged, as for every open.
  EXPECT_EQ(records.GetCursorType(), (long)adOpenStatic);
  EXPECT_EQ(records.GetCursorLocation(), (long)adUseClient);
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_P(Recordset, FailedOpenShowsTheRecordsetReport) {
  RecordedDesktop desktop;
  CADORecordset records(&db_);
  EXPECT_FALSE(records.Open("select * from nowhere", 1));
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADORecordset Error"));
  EXPECT_EQ((LPCTSTR)records.GetLastErrorString(),
            "Query = select * from nowhere\n" + desktop.Boxes()[0].text);
}

TEST_P(Recordset, TableOptionOpensTheWholeTable) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("dcmc", 2));
  EXPECT_EQ(records.GetRecordCount(), 3u);
  EXPECT_EQ(records.GetFieldCount(), 3);
  EXPECT_STREQ((LPCTSTR)records.GetFieldName(2), "dcbm");
}

TEST_P(Recordset, StoredProcedureOptionReportsAMissingProcedure) {
  // No such procedure, or (SQLite) no procedures at all: ADO reports the failure, the layer
  // shows its report.
  RecordedDesktop desktop;
  CADORecordset records(&db_);
  EXPECT_FALSE(records.Open("no_such_procedure", 3));
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADORecordset Error"));
}

TEST_P(Recordset, StoredProcedureOptionOpensTheRowsTheProcedureAnswers) {
  RecordedDesktop desktop;
  CADORecordset records(&db_);
  if (!GetParam().hasStoredProcedures) {  // SQLite: the open fails and is reported
    EXPECT_FALSE(records.Open("stratum_rows", 3));
    ASSERT_EQ(desktop.Boxes().size(), 1u);
    EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADORecordset Error"));
    return;
  }
  ASSERT_TRUE(records.Open("stratum_rows", 3)) << (LPCTSTR)records.GetLastErrorString();
  ASSERT_EQ(records.GetRecordCount(), 3u);
  records.MoveFirst();
  CString name, code;
  ASSERT_TRUE(records.GetFieldValue("dcmc", name, ""));
  ASSERT_TRUE(records.GetFieldValue("dcdm", code, ""));
  EXPECT_STREQ((LPCTSTR)name, "第四系");
  EXPECT_STREQ((LPCTSTR)code, "Q");
  EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_P(Recordset, RecordCountWalksWhenTheProviderAnswersMinusOne) {
  ServerSideRecordset records(&db_, "select dcmc from dcmc order by dcbm");
  ASSERT_EQ(records.GetRecordset()->GetRecordCount(), -1);
  EXPECT_EQ(records.GetRecordCount(), 3u);
  CString first;
  ASSERT_TRUE(records.GetFieldValue("dcmc", first, ""));
  EXPECT_STREQ((LPCTSTR)first, "第四系");  // left on the first row

  ServerSideRecordset empty(&db_, "select dcmc from dcmc where dcbm > 100");
  EXPECT_EQ(empty.GetRecordCount(), 0u);
  EXPECT_TRUE(empty.IsEOF());
}

TEST_P(Recordset, NavigationLetsTheComErrorThrough) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc", 1));
  records.MoveFirst();
  KpAdoSetFault(1);  // the next Move fails as a dropped link does
  EXPECT_THROW(records.MoveNext(), _com_error);
  KpAdoSetFault(0);
}

struct KindCase {
  const char* field;
  const char* text;
};

TEST_P(Recordset, GetFieldValueTextOfEveryProviderType) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  const KindCase cases[] = {{"tiny", "200"},
                            {"small", "-32768"},
                            {"i", "70000"},
                            {"big", "9000000000"},
                            {"ubig", "9223372036854775807"},
                            {"ui", "4000000000"},
                            {"f4", "2.25"},
                            {"d", "0.5"},
                            {"flag", "T"},
                            {"ts", "2026-03-19 13:30:05"},
                            {"nul", ""},
                            {"s", "第四系"}};
  for (const KindCase& c : cases) {
    CString text = "sentinel";
    EXPECT_TRUE(records.GetFieldValue(c.field, text, "")) << c.field;
    EXPECT_STREQ((LPCTSTR)text, c.text) << c.field;
  }
  CString money = "sentinel";
  if (GetParam().currencyType) {
    EXPECT_FALSE(records.GetFieldValue("money", money, ""));  // VT_CY has no text rule here
    EXPECT_STREQ((LPCTSTR)money, "");
  } else {
    EXPECT_TRUE(records.GetFieldValue("money", money, ""));  // a number or text (currencyType)
    EXPECT_STREQ((LPCTSTR)money, "4.5");
  }
  // An exact numeric reads as its own digits; a double (exactNumerics) with 20 significant ones.
  CString number;
  ASSERT_TRUE(records.GetFieldValue("num", number, ""));
  if (GetParam().exactNumerics) {
    EXPECT_EQ(records.GetFieldType("num"), (int)adNumeric);
    EXPECT_STREQ((LPCTSTR)number, "123.45");
  } else {
    EXPECT_EQ(records.GetFieldType("num"), (int)adDouble);
    EXPECT_STREQ((LPCTSTR)number, "123.45000000000000284");
  }
}

TEST_P(Recordset, TypedReadsByNameAndIndex) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  int i = 0;
  EXPECT_TRUE(records.GetFieldValue("i", i));
  EXPECT_EQ(i, 70000);
  long l = 0;
  EXPECT_TRUE(records.GetFieldValue(2, l));
  EXPECT_EQ(l, 70000);
  unsigned long ul = 0;
  EXPECT_EQ(records.GetFieldValue("ui", ul), GetParam().unsignedTypes);  // VT_UI4, else VT_I8 or text
  EXPECT_EQ(ul, GetParam().unsignedTypes ? 4000000000ul : 0ul);
  EXPECT_FALSE(records.GetFieldValue("big", l));  // VT_I8: not a 32-bit type
  double d = 0;
  EXPECT_TRUE(records.GetFieldValue("big", d));
  EXPECT_EQ(d, 9000000000.0);
  bool flag = false;
  EXPECT_TRUE(records.GetFieldValue("flag", flag));
  EXPECT_TRUE(flag);
  COleDateTime ts;
  EXPECT_TRUE(records.GetFieldValue("ts", ts));
  EXPECT_STREQ((LPCTSTR)ts.Format("%Y-%m-%d %H:%M:%S"), "2026-03-19 13:30:05");
  COleCurrency money;
  EXPECT_EQ(records.GetFieldValue("money", money), GetParam().currencyType);  // VT_CY only
  EXPECT_EQ(money.m_cur.int64, GetParam().currencyType ? 45000 : 0);
  COleDateTime none;
  EXPECT_TRUE(records.GetFieldValue("nul", none));
  EXPECT_EQ(none.GetStatus(), COleDateTime::null);
  EXPECT_TRUE(records.IsFieldNull("nul"));
  EXPECT_TRUE(records.IsFieldEmpty("nul"));
  EXPECT_FALSE(records.IsFieldNull("s"));
}

TEST_P(Recordset, BadFieldNameGoesToTheReport) {
  RecordedDesktop desktop;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc", 1));
  CString text = "kept";
  EXPECT_FALSE(records.GetFieldValue("no_such_field", text, ""));
  EXPECT_STREQ((LPCTSTR)text, "kept");
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_TRUE(StartsWith(desktop.Boxes()[0].text, "CADORecordset Error"));
}

TEST_P(Recordset, ValueStringOnAClosedRecordsetShowsTheDisconnectionBoxOnce) {
  RecordedDesktop desktop;
  TraceCapture traces;
  CADORecordset records(&db_);
  CString text = "kept";
  EXPECT_FALSE(records.GetValueString(text, "dcmc"));
  EXPECT_STREQ((LPCTSTR)text, "kept");
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].text, "数据库可能已经断开,\r\n请重新连接、然后重试.");
  EXPECT_EQ(desktop.Boxes()[0].caption, "提示");
  EXPECT_EQ(desktop.Boxes()[0].type, (UINT)(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(records.SetValueString("x", "dcmc"));
  EXPECT_EQ(desktop.Boxes().size(), 2u);
}

TEST_P(Recordset, ValueStringDisplaysAndStopsAtEof) {
  TraceCapture traces;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  CString text;
  ASSERT_TRUE(records.GetValueString(text, "big"));
  EXPECT_STREQ((LPCTSTR)text, "9000000000");
  ASSERT_TRUE(records.GetValueString(text, "d"));
  EXPECT_STREQ((LPCTSTR)text, "0.50000000");
  ASSERT_TRUE(records.GetValueString(text, "flag"));
  EXPECT_STREQ((LPCTSTR)text, "TRUE");
  EXPECT_FALSE(records.GetValueString(text, "no_such_field"));
  EXPECT_TRUE(StartsWith(traces.text(), ":( 字段访问失败: "));
  records.MoveNext();
  EXPECT_FALSE(records.GetValueString(text, "s"));
}

TEST_P(Recordset, EmptyTextWritesNullAndIntsAreNotTruncated) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc order by dcbm", 1));
  ASSERT_TRUE(records.SetFieldValue("dcmc", CString("")));
  ASSERT_TRUE(records.SetFieldValue("dcbm", 70000));
  ASSERT_TRUE(records.SetFieldValue("dcdm", "QX"));  // a text literal is text, not bool
  ASSERT_TRUE(records.Update());
  CADORecordset check(&db_);
  ASSERT_TRUE(check.Open("select * from dcmc where dcdm = 'QX'", 1));
  ASSERT_EQ(check.GetRecordCount(), 1u);
  EXPECT_TRUE(check.IsFieldNull("dcmc"));
  int code = 0;
  ASSERT_TRUE(check.GetFieldValue("dcbm", code));
  EXPECT_EQ(code, 70000);
}

TEST_P(Recordset, SetValueStringRefusesWhatDoesNotParseOrFit) {
  TraceCapture traces;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  EXPECT_FALSE(records.SetValueString("12abc", "i"));
  EXPECT_FALSE(records.SetValueString("99999999999", "i"));  // beyond adInteger
  if (GetParam().unsignedTypes) {                            // else smallint and bigint (or text) take them
    EXPECT_FALSE(records.SetValueString("300", "tiny"));
    EXPECT_FALSE(records.SetValueString("-1", "ubig"));
  }
  int i = 0;
  records.GetFieldValue("i", i);
  EXPECT_EQ(i, 70000);                                         // unchanged
  EXPECT_TRUE(records.SetValueString("9000000001  ", "big"));  // parsed at 64 bits
  EXPECT_TRUE(records.SetValueString("false", "flag"));
  EXPECT_TRUE(records.SetValueString("NULL", "s"));
  EXPECT_TRUE(records.SetValueString("2020-01-02 03:04:05", "ts"));
  ASSERT_TRUE(records.Update());
  CString text;
  records.GetFieldValue("big", text, "");
  EXPECT_STREQ((LPCTSTR)text, "9000000001");
  records.GetFieldValue("flag", text, "");
  EXPECT_STREQ((LPCTSTR)text, "F");
  EXPECT_TRUE(records.IsFieldNull("s"));
  records.GetFieldValue("ts", text, "");
  EXPECT_STREQ((LPCTSTR)text, "2020-01-02 03:04:05");
  EXPECT_EQ(traces.text(), "");
}

TEST_P(Recordset, CheckedReadsShowTheMismatchAndReadAnyway) {
  RecordedDesktop desktop;
  TraceCapture traces;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  short small = 0;
  EXPECT_TRUE(records.GetCollectValue("small", small));
  EXPECT_EQ(small, -32768);
  EXPECT_TRUE(desktop.Boxes().empty());
  // adUnsignedTinyInt into an int; without unsignedTypes the tinyint column is not portable
  // (SQLite's driver: signed, 200 arrives as VT_I8), so adSmallInt into an int.
  int i = 0;
  EXPECT_TRUE(records.GetCollectValue(GetParam().unsignedTypes ? "tiny" : "small", i));
  EXPECT_EQ(i, GetParam().unsignedTypes ? 200 : -32768);
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].text, "你要读取的字段与变量的数据类型不符");
  EXPECT_EQ(desktop.Boxes()[0].type, (UINT)MB_OK);
  EXPECT_NE(traces.text().find("Assertion failed: "), std::string::npos);
}

TEST_P(Recordset, CheckedBigIntReadRefusesValuesBeyondThirtyTwoBits) {
  TraceCapture traces;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  long big = 5;
  EXPECT_FALSE(records.GetCollectValue("big", big));
  EXPECT_EQ(big, 5);
  EXPECT_TRUE(
      StartsWith(traces.text(), "Warning: GetCollectValue 方法发生异常. 错误信息: Out of present range."));
}

TEST_P(Recordset, CheckedWritesOfBoolDateAndCurrencyTraceTheMismatch) {
  RecordedDesktop desktop;
  TraceCapture traces;
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from kinds", 1));
  EXPECT_TRUE(records.PutCollectValue("flag", true));
  EXPECT_EQ(traces.text(), "");
  EXPECT_TRUE(records.PutCollectValue("i", true));  // adInteger: traced, written anyway
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: 你要存贮的字段与变量的数据类型不符; 文件: "));
  EXPECT_TRUE(desktop.Boxes().empty());
  EXPECT_TRUE(records.PutCollectValue("s", 5.5));  // the first group shows its box
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].text, "你要存储的字段与变量的数据类型不符");
  bool flag = false;
  EXPECT_TRUE(records.GetCollectValue("flag", flag));
  EXPECT_TRUE(flag);
}

TEST_P(Recordset, FieldInfoCutsLongNamesAtACharacterBoundary) {
  ASSERT_TRUE(
      db_.Execute("create table names(\"地层名称地层名称地层名称地层名称地层名称\" integer,"
                  " \"abcdefghijabcdefghijabcdefghijabcdefghij\" varchar(12))"));
  ASSERT_TRUE(db_.Execute("insert into names values(1, 'x')"));
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from names", 1));
  CADOFieldInfo info;
  std::memset(&info, 0x5e, sizeof info);
  ASSERT_TRUE(records.GetFieldInfo(0, &info));
  EXPECT_STREQ(info.m_strName, "地层名称地层名称地层名称地层");  // 28 bytes: a 15th character would not fit
  EXPECT_EQ(info.m_nType, adInteger);
  EXPECT_EQ(info.m_lDefinedSize, 4);
  EXPECT_EQ(info.m_nOrdinalPosition, 0);  // the rest stays zero
  ASSERT_TRUE(records.GetFieldInfo("abcdefghijabcdefghijabcdefghijabcdefghij", &info));
  EXPECT_STREQ(info.m_strName, "abcdefghijabcdefghijabcdefghi");  // 29 bytes and the NUL
  EXPECT_EQ(info.m_nType, GetParam().narrowTextTypes ? adVarChar : adVarWChar);
  EXPECT_EQ(info.m_lDefinedSize, 12);
  EXPECT_EQ(info.m_lSize, 1);
}

TEST_P(Recordset, FindFilterSortAndBookmarks) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc order by dcbm", 1));
  ASSERT_TRUE(records.FindFirst("dcdm = 'P'"));
  CString name;
  records.GetFieldValue("dcmc", name, "");
  EXPECT_STREQ((LPCTSTR)name, "二叠系");
  EXPECT_FALSE(records.FindNext());
  TraceCapture traces;
  EXPECT_FALSE(records.Find("dcdm = 'P'", 0));
  EXPECT_EQ(traces.text(), "Unknown parameter. 0");
  records.MoveFirst();
  records.GetBookmark();
  records.MoveLast();
  EXPECT_TRUE(records.SetBookmark());
  records.GetFieldValue("dcmc", name, "");
  EXPECT_STREQ((LPCTSTR)name, "第四系");
  ASSERT_TRUE(records.SetFilter("dcbm > 1"));
  EXPECT_EQ(records.GetRecordCount(), 2u);
  ASSERT_TRUE(records.SetFilter(""));
  ASSERT_TRUE(records.SetSort("dcbm DESC"));
  records.MoveFirst();
  records.GetFieldValue("dcmc", name, "");
  EXPECT_STREQ((LPCTSTR)name, "二叠系");
  EXPECT_STREQ((LPCTSTR)records.GetString(",", ";", "", 1), "二叠系,P,3;");
}

TEST_P(Recordset, AddNewUpdateAndDelete) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc", 1));
  ASSERT_TRUE(records.AddNew());
  EXPECT_EQ(records.GetEditStatus(), CADORecordset::dbEditNew);
  records.SetFieldValue("dcmc", "白垩系");
  records.SetFieldValue("dcdm", "K");
  records.SetFieldValue("dcbm", 4L);
  ASSERT_TRUE(records.Update());
  EXPECT_EQ(records.GetEditStatus(), CADORecordset::dbEditNone);
  ASSERT_TRUE(records.Requery());
  EXPECT_EQ(records.GetRecordCount(), 4u);
  ASSERT_TRUE(records.FindFirst("dcdm = 'K'"));
  ASSERT_TRUE(records.Delete());
  ASSERT_TRUE(records.Requery());
  EXPECT_EQ(records.GetRecordCount(), 3u);
}

TEST_P(Recordset, SavesAndLoadsTheXmlFormat) {
  std::string file = ado2test::TempDir() + "/" + GetParam().name + "-dcmc.xml";
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from dcmc order by dcbm", 1));
  ASSERT_TRUE(records.Save(file.c_str()));
  CADORecordset loaded(&db_);
  ASSERT_TRUE(loaded.Load(file.c_str()));
  EXPECT_EQ(loaded.GetRecordCount(), 3u);
  CString name;
  loaded.MoveFirst();
  loaded.GetFieldValue("dcmc", name, "");
  EXPECT_STREQ((LPCTSTR)name, "第四系");
  TraceCapture traces;
  CADORecordset missing(&db_);
  EXPECT_FALSE(missing.Load((file + ".none").c_str()));
  EXPECT_TRUE(StartsWith(traces.text(), "Warning: Load 发生异常. 错误信息: "));
}

INSTANTIATE_TEST_SUITE_P(Providers, Recordset, ::testing::ValuesIn(ado2test::Providers()),
                         ado2test::ProviderName);

}  // namespace
