// Conformance tests of Field metadata beyond the type table: columns without a declared type,
// declared types named only by SQLite's affinity rules, Precision/NumericScale and Attributes,
// and dates on both sides of the DATE epoch.
#include <cmath>

#include "AdoTestSupport.h"

namespace kp::ado::test {
namespace {

struct ExprRow {
  const char* select;  // one column
  DataTypeEnum type;
  VARTYPE vt;
};

// Expressions take the storage class of their first value; unknown declared types follow
// SQLite's affinity rules.
const ExprRow kExpressions[] = {
    {"SELECT count(*) FROM t", adInteger, VT_I4},
    {"SELECT 1.5 * 2", adDouble, VT_R8},
    {"SELECT 'x' || 'y'", adVarChar, VT_BSTR},
    {"SELECT x'01'", adLongVarBinary, VT_ARRAY | VT_UI1},
    {"SELECT NULL", adVarChar, VT_NULL},
    {"SELECT fp FROM t", adInteger, VT_I4},       // "FLOATING POINT" contains INT
    {"SELECT st FROM t", adNumeric, VT_DECIMAL},  // "STRING" has NUMERIC affinity
    {"SELECT ch FROM t", adVarChar, VT_BSTR},     // "CHARACTER_DATA" contains CHAR
};

}  // namespace

TEST_P(SqliteOnlyTest, ExpressionsAndAffinityTypes) {
  Exec(u"CREATE TABLE t (fp FLOATING POINT, st STRING, ch CHARACTER_DATA); INSERT INTO t VALUES (1, 2, 'c')");
  for (const ExprRow& e : kExpressions) {
    SCOPED_TRACE(e.select);
    _RecordsetPtr rs = OpenServer(U(e.select));
    FieldPtr f = rs->GetFields()->GetItem(_variant_t(0L));
    EXPECT_EQ(f->GetType(), e.type);
    EXPECT_EQ(f->GetValue().vt, e.vt);
  }
}

// NUMERIC(p,s) reports Precision p and NumericScale s; attributes mark the key, NOT NULL, long
// and updatable columns; an expression is not updatable.
TEST_P(AdoTest, PrecisionScaleAndAttributes) {
  Exec(
      u"CREATE TABLE t (id INTEGER PRIMARY KEY, amount NUMERIC(10,2) NOT NULL, memo TEXT); "
      u"INSERT INTO t VALUES (1, 2.5, 'm')");
  _RecordsetPtr rs = OpenClient(u"SELECT id, amount, memo, id * 2 AS twice FROM t");
  FieldsPtr fs = rs->GetFields();
  EXPECT_EQ(fs->GetCount(), 4);  // the hidden rowid is not a field
  if (!Quirks().sqliteOdbc) {    // the SQLite driver describes NUMERIC as SQL_DOUBLE
    EXPECT_EQ(fs->GetItem("amount")->GetPrecision(), 10);
    EXPECT_EQ(fs->GetItem("amount")->GetNumericScale(), 2);
  }
  LONG id = fs->GetItem("id")->GetAttributes(), amount = fs->GetItem("amount")->GetAttributes();
  LONG memo = fs->GetItem("memo")->GetAttributes(), twice = fs->GetItem("twice")->GetAttributes();
  EXPECT_TRUE(id & adFldKeyColumn);
  EXPECT_EQ((bool)(amount & adFldIsNullable), Quirks().sqliteOdbc);  // the SQLite driver: NOT NULL unknown
  EXPECT_TRUE(memo & adFldIsNullable);
  EXPECT_TRUE(memo & adFldLong);
  EXPECT_TRUE(amount & adFldUpdatable);
  EXPECT_FALSE(twice & adFldUpdatable);
  EXPECT_EQ(Hr([&] { fs->GetItem("twice")->PutValue(_variant_t(1L)); }), Ado(adErrFeatureNotAvailable));
  EXPECT_EQ(fs->GetItem("memo")->GetActualSize(), 1);
}

// DATE values before 1899-12-30 are negative with the time as a positive fraction
// (1899-12-29 06:00 is -1.25); both round-trip through a DATETIME column.
TEST_P(AdoTest, DatesAroundTheEpochRoundTrip) {
  Exec(u"CREATE TABLE t (id INTEGER PRIMARY KEY, d DATETIME)");
  const double values[] = {-1.25, 0.5, -657434.0, 2958465.5, 50000.75};
  _RecordsetPtr rs = OpenClient(u"SELECT * FROM t");
  for (double d : values) {
    rs->AddNew();
    rs->GetFields()->GetItem("d")->PutValue(_variant_t(d, VT_DATE));
    rs->Update();
  }
  _RecordsetPtr back = OpenClient(u"SELECT d FROM t ORDER BY id", adLockReadOnly);
  for (double d : values) {
    SCOPED_TRACE(d);
    _variant_t v = back->GetCollect(_variant_t(0L));
    ASSERT_EQ(v.vt, VT_DATE);
    EXPECT_NEAR(v.date, d, 1e-9);
    back->MoveNext();
  }
}

// A table without a primary key is updated through the rowid fetched as a hidden column: only
// the edited row changes.
TEST_P(SqliteOnlyTest, UpdateKeyedByRowId) {
  Exec(
      u"CREATE TABLE t (name VARCHAR(5), code VARCHAR(5)); INSERT INTO t VALUES ('a', 'x'); "
      u"INSERT INTO t VALUES ('a', 'x')");
  _RecordsetPtr rs = OpenClient(u"SELECT name FROM t");
  EXPECT_EQ(rs->GetFields()->GetCount(), 1);
  rs->MoveNext();
  rs->GetFields()->GetItem("name")->PutValue(_variant_t(_bstr_t("b")));
  rs->Update();
  _RecordsetPtr check = OpenClient(u"SELECT name FROM t ORDER BY rowid", adLockReadOnly);
  EXPECT_EQ(Utf8(_bstr_t(Val(check, "name"))), "a");
  check->MoveNext();
  EXPECT_EQ(Utf8(_bstr_t(Val(check, "name"))), "b");
}

// Delete(adAffectGroup) removes the rows of the current filter.
TEST_P(AdoTest, DeleteGroupUsesTheFilter) {
  Exec(
      u"CREATE TABLE t (id INTEGER PRIMARY KEY, g VARCHAR(2)); INSERT INTO t VALUES (1, 'a'); "
      u"INSERT INTO t VALUES (2, 'b'); INSERT INTO t VALUES (3, 'b')");
  _RecordsetPtr rs = OpenClient(u"SELECT * FROM t");
  rs->PutFilter(_variant_t(_bstr_t(u"g = 'b'")));
  rs->Delete(adAffectGroup);
  rs->PutFilter(_variant_t(_bstr_t(u"")));
  EXPECT_EQ(rs->GetRecordCount(), 1);
  EXPECT_EQ(OpenClient(u"SELECT * FROM t", adLockReadOnly)->GetRecordCount(), 1);
}

// CommandTimeout stops a statement that runs longer, with SQLSTATE HYT00.
TEST_P(SqliteOnlyTest, CommandTimeoutInterruptsLongStatement) {
  conn_->PutCommandTimeout(1);
  HRESULT hr = Hr([&] {
    conn_->Execute(_bstr_t(u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                           u"SELECT count(*) FROM c"),
                   nullptr, adCmdText);
  });
  EXPECT_EQ(hr, (HRESULT)0x80040E4E);
  EXPECT_EQ(Utf8(conn_->GetErrors()->GetItem(_variant_t(0L))->GetSQLState()), "HYT00");
}

}  // namespace kp::ado::test
