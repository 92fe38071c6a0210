// Tests of the statements a client cursor writes its edits with, built without a database: the
// INSERT of an added row, the UPDATE of changed columns and the DELETE of a row; the condition
// that locates the row (its key, its rowid, or all its values compared Null-safely) and the order
// in which the '?' take their values; names quoted by the engine's rule, odd ones included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WriteStatement.h"

namespace kp::ado {
namespace {

// SQL-92 quoting: double quotes, an embedded quote doubled.
std::u16string Quote(std::u16string_view name) {
  std::u16string out = u"\"";
  for (char16_t c : name) {
    if (c == u'"') out += u'"';
    out += c;
  }
  return out + u"\"";
}

SqlDialect Dialect(std::u16string nullSafe = u" IS ?") {
  return SqlDialect{Quote, std::move(nullSafe)};
}

ColumnInfo Column(std::u16string name, std::u16string base = {}) {
  ColumnInfo c;
  c.name = name;
  c.baseTable = u"t";
  c.baseColumn = base.empty() ? name : base;
  return c;
}

ColumnInfo RowIdColumn() {
  ColumnInfo c = Column(u"__kp_rowid", u"rowid");
  c.hidden = true;
  c.rowId = true;
  return c;
}

ColumnInfo Expression(std::u16string name) {
  ColumnInfo c;
  c.name = name;
  return c;
}

std::string Utf8(const std::u16string& s) {
  return std::string(s.begin(), s.end());  // the texts here are ASCII
}

constexpr StatementParam Edit(size_t c) {
  return {ValueSource::Edit, c};
}
constexpr StatementParam Row(size_t c) {
  return {ValueSource::Row, c};
}

TEST(WriteStatementTest, InsertNamesTheChangedColumnsInOrder) {
  std::vector<ColumnInfo> cols = {Column(u"id"), Column(u"name"), Column(u"depth")};
  WriteStatement w = WriteStatement::Insert(Dialect(), u"wells", cols, {false, true, true});
  EXPECT_EQ(Utf8(w.sql), R"(INSERT INTO "wells" ("name", "depth") VALUES (?, ?))");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Edit(1), Edit(2)}));
}

TEST(WriteStatementTest, InsertOfNothingChangedTakesTheDefaults) {
  std::vector<ColumnInfo> cols = {Column(u"id"), Column(u"name")};
  WriteStatement w = WriteStatement::Insert(Dialect(), u"wells", cols, {false, false});
  EXPECT_EQ(Utf8(w.sql), R"(INSERT INTO "wells" DEFAULT VALUES)");
  EXPECT_TRUE(w.params.empty());
}

TEST(WriteStatementTest, RowIdAndExpressionsAreNeverWritten) {
  std::vector<ColumnInfo> cols = {RowIdColumn(), Column(u"name"), Expression(u"len")};
  WriteStatement w = WriteStatement::Insert(Dialect(), u"wells", cols, {true, true, true});
  EXPECT_EQ(Utf8(w.sql), R"(INSERT INTO "wells" ("name") VALUES (?))");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Edit(1)}));
}

TEST(WriteStatementTest, UpdateByKeySetsChangedColumnsThenLocatesByTheKey) {
  std::vector<ColumnInfo> cols = {Column(u"a"), Column(u"name"), Column(u"b"), Column(u"depth")};
  RowLocator key;
  key.keyColumns = {0, 2};
  key.rowIdColumn = 4;  // the key wins over the rowid
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Update(Dialect(), u"wells", cols, {false, true, false, true}, key, w));
  EXPECT_EQ(Utf8(w.sql), R"(UPDATE "wells" SET "name" = ?, "depth" = ? WHERE "a" = ? AND "b" = ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Edit(1), Edit(3), Row(0), Row(2)}));
}

TEST(WriteStatementTest, UpdateWithoutKeyLocatesByTheRowId) {
  std::vector<ColumnInfo> cols = {RowIdColumn(), Column(u"name")};
  RowLocator byRowId;
  byRowId.rowIdColumn = 0;
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Update(Dialect(), u"wells", cols, {false, true}, byRowId, w));
  EXPECT_EQ(Utf8(w.sql), R"(UPDATE "wells" SET "name" = ? WHERE rowid = ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Edit(1), Row(0)}));
}

TEST(WriteStatementTest, UpdateWithoutKeyOrRowIdComparesEveryOriginalValueNullSafely) {
  std::vector<ColumnInfo> cols = {Column(u"name"), Expression(u"len"), Column(u"depth")};
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Update(Dialect(u" IS NOT DISTINCT FROM ?"), u"wells", cols,
                                     {false, false, true}, RowLocator(), w));
  EXPECT_EQ(
      Utf8(w.sql),
      R"(UPDATE "wells" SET "depth" = ? WHERE "name" IS NOT DISTINCT FROM ? AND "depth" IS NOT DISTINCT FROM ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Edit(2), Row(0), Row(2)}));
}

TEST(WriteStatementTest, UpdateOfNothingChangedWritesNothing) {
  std::vector<ColumnInfo> cols = {Column(u"name")};
  WriteStatement w;
  w.sql = u"left over";
  ASSERT_TRUE(WriteStatement::Update(Dialect(), u"wells", cols, {false}, RowLocator(), w));
  EXPECT_TRUE(w.sql.empty());
  EXPECT_TRUE(w.params.empty());
}

TEST(WriteStatementTest, ARowThatNothingLocatesCannotBeWritten) {
  // No key, no rowid the table has, and no column of the table but the rowid itself.
  ColumnInfo rowid = RowIdColumn();
  std::vector<ColumnInfo> cols = {Expression(u"a"), rowid};
  WriteStatement w;
  EXPECT_FALSE(WriteStatement::Delete(Dialect(), u"v", cols, RowLocator(), w));
  EXPECT_TRUE(w.sql.empty());
  EXPECT_TRUE(w.params.empty());
  // An update of such a row has nothing to set either: every column it could write would also
  // locate the row.
  EXPECT_TRUE(WriteStatement::Update(Dialect(), u"v", cols, {true, true}, RowLocator(), w));
  EXPECT_TRUE(w.sql.empty());
}

TEST(WriteStatementTest, DeleteLocatesTheRowLikeAnUpdate) {
  std::vector<ColumnInfo> cols = {RowIdColumn(), Column(u"id"), Column(u"name")};
  RowLocator key;
  key.keyColumns = {1};
  key.rowIdColumn = 0;
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Delete(Dialect(), u"wells", cols, key, w));
  EXPECT_EQ(Utf8(w.sql), R"(DELETE FROM "wells" WHERE "id" = ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Row(1)}));
  RowLocator byRowId;
  byRowId.rowIdColumn = 0;
  ASSERT_TRUE(WriteStatement::Delete(Dialect(), u"wells", cols, byRowId, w));
  EXPECT_EQ(Utf8(w.sql), R"(DELETE FROM "wells" WHERE rowid = ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Row(0)}));
  ASSERT_TRUE(WriteStatement::Delete(Dialect(), u"wells", cols, RowLocator(), w));
  EXPECT_EQ(Utf8(w.sql), R"(DELETE FROM "wells" WHERE "id" IS ? AND "name" IS ?)");
  EXPECT_EQ(w.params, (std::vector<StatementParam>{Row(1), Row(2)}));
}

TEST(WriteStatementTest, OddNamesAreQuotedByTheDialect) {
  // A blank, an embedded quote, a keyword and a column whose field name differs from its base.
  std::vector<ColumnInfo> cols = {Column(u"Top Depth"), Column(u"say \"hi\""), Column(u"alias", u"select")};
  RowLocator key;
  key.keyColumns = {2};
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Update(Dialect(), u"my \"table\"", cols, {true, true, false}, key, w));
  EXPECT_EQ(Utf8(w.sql), R"(UPDATE "my ""table""" SET "Top Depth" = ?, "say ""hi""" = ? WHERE "select" = ?)");
  SqlDialect brackets{[](std::u16string_view n) { return u"[" + std::u16string(n) + u"]"; }, u" IS ?"};
  w = WriteStatement::Insert(brackets, u"my table", cols, {true, false, true});
  EXPECT_EQ(Utf8(w.sql), "INSERT INTO [my table] ([Top Depth], [select]) VALUES (?, ?)");
}

TEST(WriteStatementTest, BindTakesEachValueFromItsSource) {
  std::vector<ColumnInfo> cols = {Column(u"id"), Column(u"name"), Column(u"depth")};
  RowLocator key;
  key.keyColumns = {0};
  WriteStatement w;
  ASSERT_TRUE(WriteStatement::Update(Dialect(), u"wells", cols, {false, false, true}, key, w));
  // The key as last read is 6; the edit changed it to 7: the row is found by the old one.
  Cell edit[] = {Cell::Int(7), Cell(), Cell::Real(2.5)};
  Cell row[] = {Cell::Int(6), Cell(), Cell::Real(1.0)};
  std::vector<Cell> values = w.Bind(edit, row);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].kind, CellKind::Real);
  EXPECT_EQ(values[0].d, 2.5);
  EXPECT_EQ(values[1].kind, CellKind::Int);
  EXPECT_EQ(values[1].i, 6);
  // An insert takes nothing from a row: none need be given.
  w = WriteStatement::Insert(Dialect(), u"wells", cols, {true, false, false});
  values = w.Bind(edit, nullptr);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].i, 7);
}

}  // namespace
}  // namespace kp::ado
