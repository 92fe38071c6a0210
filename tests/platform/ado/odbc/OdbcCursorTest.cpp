// Values of every length through the ODBC provider's cursor on PostgreSQL: values longer than
// the buffer the cursor bound for their column (the driver cuts them, reports 01004 and gives
// their whole length as indicator) must be read again in pieces, and long values must come in
// pieces whose indicators exceed the piece buffer, with characters split between pieces kept
// whole. Values are compared exactly, through the server and the client cursor.
#include "AdoTestSupport.h"
#include "PgTestServer.h"

namespace kp::ado::test {
namespace {

class OdbcCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!kptest::PgTestServer::Available(&why)) GTEST_SKIP() << "PostgreSQL is not available: " << why;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    initialized_ = true;
    db_ = kptest::PgTestServer::CreateDatabase("cursor");
  }
  void TearDown() override {
    if (conn_ && conn_->GetState() == adStateOpen) conn_->Close();
    conn_ = nullptr;
    if (initialized_) CoUninitialize();
  }
  void Open(const std::string& extra) {
    ASSERT_EQ(conn_.CreateInstance(__uuidof(Connection)), S_OK);
    std::string cs = kptest::PgTestServer::OdbcString(db_) + extra;
    ASSERT_EQ(Hr([&] { conn_->Open(_bstr_t(U(cs.c_str()).c_str()), _bstr_t(u""), _bstr_t(u""), -1); }), S_OK);
  }
  // The rows of sql (one text column) as UTF-8, "<null>" for Null, read through location.
  std::vector<std::string> Column(const char16_t* sql, CursorLocationEnum location) {
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->PutCursorLocation(location);
    std::vector<std::string> out;
    HRESULT hr = Hr([&] {
      rs->Open(_variant_t(_bstr_t(sql)), _variant_t((IDispatch*)conn_.GetInterfacePtr()), adOpenForwardOnly,
               adLockReadOnly, adCmdText);
      for (; !rs->GetadoEOF(); rs->MoveNext()) {
        _variant_t v = rs->GetCollect(_variant_t(0L));
        out.push_back(v.vt == VT_NULL ? "<null>" : Utf8(_bstr_t(v)));
      }
    });
    EXPECT_EQ(hr, S_OK) << (conn_->GetErrors()->GetCount() > 0
                                ? Utf8(conn_->GetErrors()->GetItem(_variant_t(0L))->GetDescription())
                                : std::string());
    return out;
  }
  bool initialized_ = false;
  std::string db_;
  _ConnectionPtr conn_;
};

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// With TextAsLongVarchar=0 and MaxVarcharSize=10 the driver describes text as VARCHAR(10), so
// the cursor binds 10 characters' room in a block of rows; longer values come back cut, with
// 01004 and their full length as indicator. They are read again whole (the driver allows
// SQLGetData on bound columns of a row of the block), among rows that fit and Nulls.
TEST_F(OdbcCursorTest, CutBoundValuesAreReadAgainWhole) {
  if (IsSkipped()) return;
  std::vector<std::string> values = {"short",      Repeat("地层", 60),
                                     "<null>",     Repeat("abcdefghij", 30) + "!",
                                     "0123456789", Repeat("\xF0\x9F\x98\x80", 11)};
  std::string insert = "CREATE TABLE t (id integer PRIMARY KEY, v text);";
  for (size_t i = 0; i < values.size(); ++i)
    insert += "INSERT INTO t VALUES (" + std::to_string(i) + ", " +
              (values[i] == "<null>" ? std::string("NULL") : "'" + values[i] + "'") + ");";
  kptest::PgTestServer::Execute(db_, insert);
  Open("TextAsLongVarchar=0;MaxVarcharSize=10;");
  EXPECT_EQ(Column(u"SELECT v FROM t ORDER BY id", adUseServer), values);
  EXPECT_EQ(Column(u"SELECT v FROM t ORDER BY id", adUseClient), values);
}

// Long text and bytea values in many 16 KB pieces, whose indicators exceed the piece buffer:
// a value just over one piece, one with a surrogate pair across the first piece boundary (the
// piece holds 8191 UTF-16 units), Chinese text of 100000 characters, and a 50000-byte bytea.
TEST_F(OdbcCursorTest, LongValuesComeWholeInPieces) {
  if (IsSkipped()) return;
  std::vector<std::string> texts = {Repeat("a", 8192), Repeat("a", 8190) + "\xF0\x9F\x98\x80" + "z",
                                    Repeat("第四系", 33334), ""};
  std::string sql = "CREATE TABLE t (id integer PRIMARY KEY, v text, b bytea);";
  for (size_t i = 0; i < texts.size(); ++i)
    sql += "INSERT INTO t VALUES (" + std::to_string(i) + ", '" + texts[i] + "', NULL);";
  sql += "INSERT INTO t VALUES (9, NULL, decode(repeat('00ff7f80', 12500), 'hex'));";
  kptest::PgTestServer::Execute(db_, sql);
  Open("");
  std::vector<std::string> expected = texts;
  expected.push_back("<null>");
  EXPECT_EQ(Column(u"SELECT v FROM t ORDER BY id", adUseServer), expected);
  EXPECT_EQ(Column(u"SELECT v FROM t ORDER BY id", adUseClient), expected);

  _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT b FROM t WHERE id = 9"), nullptr, adCmdText);
  _variant_t v = rs->GetCollect(_variant_t(0L));
  ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(v.parray, 1, &lo);
  SafeArrayGetUBound(v.parray, 1, &hi);
  ASSERT_EQ(hi - lo + 1, 50000);
  unsigned char* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(v.parray, (void**)&data), S_OK);
  const unsigned char pattern[] = {0x00, 0xFF, 0x7F, 0x80};
  size_t wrong = 0;
  for (size_t i = 0; i < 50000; ++i) wrong += data[i] != pattern[i % 4];
  SafeArrayUnaccessData(v.parray);
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace kp::ado::test
