// Tests of the ODBC provider's mapping from OLE DB connection strings to ODBC strings: the
// exact strings built for MSDASQL (DSN, Extended Properties, plain ODBC keys), the SQL Server
// family (FreeTDS), Jet/ACE (MDBTools) and the strings that CADODataBase's OpenSQLServer and
// OpenODBC build; ODBC brace quoting of values.
#include "OdbcConnect.h"

#include <gtest/gtest.h>

namespace kp::ado {
namespace {

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x80 ? (char)c : '?');
  return out;
}

OdbcConnect::Target BuildFrom(const std::u16string& text, const std::u16string& folder = u"") {
  ConnectionString cs;
  EXPECT_EQ(ConnectionString::Parse(text, cs), S_OK);
  return OdbcConnect::Build(cs, folder);
}

struct MappingRow {
  const char16_t* oledb;
  const char* odbc;
  const char* driver;
  OdbcConnect::Family family;
};

void PrintTo(const MappingRow& r, std::ostream* os) {
  *os << Narrow(r.oledb);
}

class OdbcMappingTest : public ::testing::TestWithParam<MappingRow> {};

// Each OLE DB string gives exactly this ODBC string and needs this driver.
TEST_P(OdbcMappingTest, BuildsTheOdbcString) {
  const MappingRow& r = GetParam();
  OdbcConnect::Target t = BuildFrom(r.oledb);
  EXPECT_EQ(t.family, r.family);
  EXPECT_EQ(Narrow(t.connect), r.odbc);
  EXPECT_EQ(Narrow(t.driver), r.driver);
}

using F = OdbcConnect::Family;
const MappingRow kMappings[] = {
    // MSDASQL: the default provider; plain ODBC keys pass through, OLE DB keys map or drop.
    {u"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=strata;Uid=postgres;Pwd=;",
     "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Database=strata;Uid=postgres;Pwd=", "",
     F::Msdasql},
    {u"Provider=MSDASQL.1;Persist Security Info=False;Data Source=InventoryDsn;Initial Catalog=Stock",
     "DSN=InventoryDsn;DATABASE=Stock", "", F::Msdasql},
    {u"Provider=MSDASQL;Data Source=Lexicon;User ID=reader;Password=secret;Mode=Read;Connect Timeout=5",
     "DSN=Lexicon;UID=reader;PWD=secret", "", F::Msdasql},
    {u"Provider=MSDASQL;Extended Properties=\"DRIVER=SQLite3;Database=/data/a.db\";Prompt=NoPrompt",
     "DRIVER=SQLite3;Database=/data/a.db", "", F::Msdasql},
    // Data Source does not become a DSN when the string names a driver, DSN or file DSN.
    {u"Provider=MSDASQL;Driver=SQLite3;Data Source=ignored;Database=/x.db", "Driver=SQLite3;Database=/x.db",
     "", F::Msdasql},
    {u"FILEDSN=/etc/odbc/lex.dsn;Data Source=ignored", "FILEDSN=/etc/odbc/lex.dsn", "", F::Msdasql},
    // Explicit ODBC keys win over their OLE DB synonyms.
    {u"DSN=a;UID=u1;User ID=u2;PWD=p1;Password=p2", "DSN=a;UID=u1;PWD=p1", "", F::Msdasql},
    // OpenODBC's string: "ODBC;Provider=...;Data Source=...;UID=...;PWD=...".
    {u"ODBC;Provider=MSDASQL;Data Source=Lexicon;UID=reader;PWD=", "UID=reader;PWD=;DSN=Lexicon", "",
     F::Msdasql},
    // SQL Server providers: FreeTDS.
    {u"Provider=SQLOLEDB.1;Driver={SQL Server};UID=reader;PWD=;DATABASE=strata;Server=srv",
     "DRIVER={FreeTDS};SERVER=srv;DATABASE=strata;UID=reader;PWD=", "FreeTDS", F::SqlServer},
    {u"Provider=SQLNCLI11;Data Source=db.example,1433;Initial Catalog=geo;Integrated Security=SSPI",
     "DRIVER={FreeTDS};SERVER=db.example;PORT=1433;DATABASE=geo;Trusted_Connection=Yes", "FreeTDS",
     F::SqlServer},
    {u"Provider=MSOLEDBSQL;Server=h;User ID=u;Password=p;Trusted_Connection=yes;TDS_Version=7.4",
     "DRIVER={FreeTDS};SERVER=h;UID=u;PWD=p;Trusted_Connection=Yes;TDS_Version=7.4", "FreeTDS", F::SqlServer},
    {u"Provider=sqlncli10.1;Server=h", "DRIVER={FreeTDS};SERVER=h", "FreeTDS", F::SqlServer},
    // Jet and ACE: MDBTools, read-only.
    {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/maps/strata.mdb",
     "DRIVER={MDBTools};DBQ=/maps/strata.mdb", "MDBTools", F::Jet},
    {u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\maps\\a.accdb",
     "DRIVER={MDBTools};DBQ=C:/maps/a.accdb", "MDBTools", F::Jet},
    // Brace quoting: ';', '{', '}' and outer blanks; '}' doubled.
    {u"DSN=x;PWD=\"a;b\"", "DSN=x;PWD={a;b}", "", F::Msdasql},
    {u"DSN=x;PWD=\"p}q{\"", "DSN=x;PWD={p}}q{}", "", F::Msdasql},
    {u"DSN=x;PWD=\" pad \"", "DSN=x;PWD={ pad }", "", F::Msdasql},
    {u"Provider=SQLOLEDB;Server=h;Password=\"se;cret\"", "DRIVER={FreeTDS};SERVER=h;PWD={se;cret}", "FreeTDS",
     F::SqlServer},
};

INSTANTIATE_TEST_SUITE_P(Strings, OdbcMappingTest, ::testing::ValuesIn(kMappings));

// A relative Jet file name resolves against the folder of the .udl the string came from;
// without one it stays as written.
TEST(OdbcConnect, JetRelativeFileResolvesAgainstUdlFolder) {
  EXPECT_EQ(
      Narrow(
          BuildFrom(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data\\strata.mdb", u"/srv/udl").connect),
      "DRIVER={MDBTools};DBQ=/srv/udl/data/strata.mdb");
  EXPECT_EQ(Narrow(BuildFrom(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=strata.mdb").connect),
            "DRIVER={MDBTools};DBQ=strata.mdb");
  EXPECT_TRUE(BuildFrom(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb").readOnly);
  EXPECT_FALSE(BuildFrom(u"DSN=x").readOnly);
}

// Connection.Open's user and password become UID and PWD over the string's own (plain keys,
// OLE DB synonyms, Extended Properties), each only when given; MDBTools has no logins.
TEST(OdbcConnect, OpenArgumentsOverrideUidAndPwd) {
  auto build = [](const char16_t* text, const char16_t* user, const char16_t* password) {
    ConnectionString cs;
    EXPECT_EQ(ConnectionString::Parse(text, cs), S_OK);
    return Narrow(OdbcConnect::Build(cs, u"", user, password).connect);
  };
  EXPECT_EQ(build(u"DSN=a;Uid=u1;Pwd=p1", u"kp", u"s;x"), "DSN=a;Uid=kp;Pwd={s;x}");
  EXPECT_EQ(build(u"DSN=a", u"kp", u"pw"), "DSN=a;UID=kp;PWD=pw");
  EXPECT_EQ(build(u"Provider=MSDASQL;Data Source=a;User ID=u;Password=p", u"kp", u""), "DSN=a;UID=kp;PWD=p");
  EXPECT_EQ(build(u"DSN=a;Uid=u1;Pwd=p1", u"", u"pw"), "DSN=a;Uid=u1;Pwd=pw");
  EXPECT_EQ(build(u"Extended Properties=\"Driver=X;UID=u1;PWD=p1\"", u"kp", u"pw"), "Driver=X;UID=kp;PWD=pw");
  EXPECT_EQ(build(u"DSN=a;Uid=u1;Pwd=p1", u"", u""), "DSN=a;Uid=u1;Pwd=p1");
  EXPECT_EQ(build(u"Provider=SQLOLEDB;Server=h;User ID=u;Password=p", u"kp", u"pw"),
            "DRIVER={FreeTDS};SERVER=h;UID=kp;PWD=pw");
  EXPECT_EQ(build(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/a.mdb", u"kp", u"pw"),
            "DRIVER={MDBTools};DBQ=/a.mdb");
}

// Families by Provider= value: case and version suffixes ignored; unknown names are Unknown.
TEST(OdbcConnect, FamilyOfProviderNames) {
  EXPECT_EQ(OdbcConnect::FamilyOf(u""), F::Msdasql);
  EXPECT_EQ(OdbcConnect::FamilyOf(u" msdasql.1 "), F::Msdasql);
  EXPECT_EQ(OdbcConnect::FamilyOf(u"SQLNCLI11.1"), F::SqlServer);
  EXPECT_EQ(OdbcConnect::FamilyOf(u"Microsoft.ACE.OLEDB.16.0"), F::Jet);
  EXPECT_EQ(OdbcConnect::FamilyOf(u"SQLite"), F::Unknown);
  EXPECT_EQ(OdbcConnect::FamilyOf(u"MSDASQLX"), F::Unknown);
}

// Value quoting: complete brace groups stay, others are braced only when they must be.
TEST(OdbcConnect, ValueQuoting) {
  EXPECT_EQ(Narrow(OdbcConnect::Value(u"{SQL Server}")), "{SQL Server}");
  EXPECT_EQ(Narrow(OdbcConnect::Value(u"plain")), "plain");
  EXPECT_EQ(Narrow(OdbcConnect::Value(u"")), "");
  EXPECT_EQ(Narrow(OdbcConnect::Value(u"{open")), "{{open}");
  EXPECT_EQ(Narrow(OdbcConnect::Value(u"a}")), "{a}}}");
}

}  // namespace
}  // namespace kp::ado
