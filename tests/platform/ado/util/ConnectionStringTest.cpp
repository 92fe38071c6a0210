// Conformance tests of the OLE DB connection-string syntax (keyword=value pairs, quoting,
// repeated keywords, ignored segments) and of the ODBC brace quoting helper.
#include "ConnectionString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TextUtil.h"
#include "UtilErrors.h"

using kp::ado::ConnectionString;

namespace {

struct ParseCase {
  const char* what;
  std::u16string text;
  std::vector<ConnectionString::Pair> expected;
};

class ConnectionStringParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ConnectionStringParse, GivesThePairsOleDbReads) {
  ConnectionString cs;
  cs.Set(u"sentinel", u"x");
  ASSERT_EQ(ConnectionString::Parse(GetParam().text, cs), S_OK);
  EXPECT_EQ(cs.Pairs(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    OleDbSyntax, ConnectionStringParse,
    testing::Values(
        ParseCase{"plain pairs",
                  u"Provider=SQLOLEDB.1;Data Source=srv",
                  {{u"Provider", u"SQLOLEDB.1"}, {u"Data Source", u"srv"}}},
        ParseCase{"blanks around keys and unquoted values are trimmed",
                  u"  Data Source =  my file.db  ; User ID= a ",
                  {{u"Data Source", u"my file.db"}, {u"User ID", u"a"}}},
        ParseCase{"double quotes keep ';' and blanks, doubled quote inside",
                  u"Password=\" a;\"\"b \";X=1",
                  {{u"Password", u" a;\"b "}, {u"X", u"1"}}},
        ParseCase{"single quotes, doubled single quote inside",
                  u"Extended Properties='DSN=x;Name=O''Hara'",
                  {{u"Extended Properties", u"DSN=x;Name=O'Hara"}}},
        ParseCase{"a segment without '=' (leading ODBC;) is ignored",
                  u"ODBC;Provider=MSDASQL;Data Source=dsn;UID=u;PWD=",
                  {{u"Provider", u"MSDASQL"}, {u"Data Source", u"dsn"}, {u"UID", u"u"}, {u"PWD", u""}}},
        ParseCase{
            "empty segments and a trailing ';' are ignored", u";;a=1;;b=2;", {{u"a", u"1"}, {u"b", u"2"}}},
        ParseCase{"the last occurrence of a keyword wins, at the first one's place",
                  u"Data Source=a;Mode=Read;data source=b",
                  {{u"Data Source", u"b"}, {u"Mode", u"Read"}}},
        ParseCase{"'==' in a keyword is a literal '='", u"a==b=1", {{u"a=b", u"1"}}},
        ParseCase{"ODBC braces are kept verbatim and may hold ';'",
                  u"Driver={SQL Server;x};Server=s",
                  {{u"Driver", u"{SQL Server;x}"}, {u"Server", u"s"}}},
        ParseCase{"'=' inside a value is part of the value",
                  u"Extended Properties=DSN=x",
                  {{u"Extended Properties", u"DSN=x"}}},
        ParseCase{"empty text", u"", {}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return "case" + std::to_string(info.index); });

TEST(ConnectionString, UnterminatedQuoteIsABadInitString) {
  ConnectionString cs;
  cs.Set(u"sentinel", u"x");
  EXPECT_EQ(ConnectionString::Parse(u"Password=\"abc;X=1", cs), DB_E_BADINITSTRING);
  EXPECT_TRUE(cs.Empty());
  EXPECT_EQ(ConnectionString::Parse(u"Password=\"abc\" junk;X=1", cs), DB_E_BADINITSTRING);
}

TEST(ConnectionString, KeywordsAreCaseInsensitive) {
  ConnectionString cs;
  ASSERT_EQ(ConnectionString::Parse(u"File Name=/data/isoDB.udl", cs), S_OK);
  EXPECT_TRUE(cs.Has(u"FILE NAME"));
  EXPECT_EQ(cs.Get(u"file name"), u"/data/isoDB.udl");
  EXPECT_EQ(cs.Get(u"Provider"), u"");
  cs.Set(u"PROVIDER", u"SQLite");
  cs.Set(u"provider", u"MSPersist");
  ASSERT_EQ(cs.Pairs().size(), 2u);
  EXPECT_EQ(cs.Pairs()[1], ConnectionString::Pair(u"PROVIDER", u"MSPersist"));
  EXPECT_TRUE(cs.Remove(u"File name"));
  EXPECT_FALSE(cs.Remove(u"File name"));
  EXPECT_EQ(cs.ToString(), u"PROVIDER=MSPersist");
}

TEST(ConnectionString, ToStringQuotesOnlyWhatNeedsIt) {
  ConnectionString cs;
  cs.Set(u"Data Source", u"C:\\db\\a b.mdb");  // inner blank: left alone
  cs.Set(u"Password", u"p;w\"d");              // ';' and '"': double quotes, inner doubled
  cs.Set(u"User ID", u" lead");                // leading blank
  cs.Set(u"a=b", u"{x;y}");                    // '=' doubled in keywords; a brace group stays
  cs.Set(u"Empty", u"");
  std::u16string text = cs.ToString();
  EXPECT_EQ(text, u"Data Source=C:\\db\\a b.mdb;Password=\"p;w\"\"d\";User ID=\" lead\";a==b={x;y};Empty=");
  ConnectionString back;
  ASSERT_EQ(ConnectionString::Parse(text, back), S_OK);
  EXPECT_EQ(back.Pairs(), cs.Pairs());
}

TEST(ConnectionString, OdbcValueBracesReservedCharacters) {
  EXPECT_EQ(ConnectionString::OdbcValue(u"SQL Server"), u"SQL Server");
  EXPECT_EQ(ConnectionString::OdbcValue(u"a;b"), u"{a;b}");
  EXPECT_EQ(ConnectionString::OdbcValue(u"x}y{"), u"{x}}y{}");
  EXPECT_EQ(ConnectionString::OdbcValue(u" pad"), u"{ pad}");
  EXPECT_EQ(ConnectionString::OdbcValue(u""), u"");
}

// Writing back what was parsed gives the same pairs when parsed again, whatever the text held:
// generated strings built from the characters the syntax gives a meaning to (quotes of both
// kinds, ';', '=', blanks, braces) plus letters and a CJK character.
class ConnectionStringRoundTrip : public testing::Test {
 protected:
  std::u16string RandomText(std::mt19937& rng, size_t maxLength) {
    static const char16_t kAlphabet[] = u"ab =;\"'{} \t=;\"{}x\u5730";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, std::char_traits<char16_t>::length(kAlphabet) - 1);
    std::u16string s(length(rng), u'a');
    for (char16_t& c : s) c = kAlphabet[pick(rng)];
    return s;
  }
  static std::string Printable(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? std::string(1, (char)c) : "<" + std::to_string((int)c) + ">";
    return out;
  }
};

TEST_F(ConnectionStringRoundTrip, ParseWriteParseKeepsThePairs) {
  std::mt19937 rng(20240517);
  int parsed = 0;
  for (int round = 0; round < 50000; ++round) {
    std::u16string text = RandomText(rng, 24);
    ConnectionString first;
    if (FAILED(ConnectionString::Parse(text, first))) continue;
    ++parsed;
    std::u16string written = first.ToString();
    ConnectionString second;
    ASSERT_EQ(ConnectionString::Parse(written, second), S_OK)
        << "text [" << Printable(text) << "] written [" << Printable(written) << "]";
    ASSERT_EQ(second.Pairs(), first.Pairs())
        << "text [" << Printable(text) << "] written [" << Printable(written) << "]";
    ASSERT_EQ(second.ToString(), written) << "text [" << Printable(text) << "]";
  }
  EXPECT_GT(parsed, 10000);  // the generator must not produce mostly unparsable text
}

// Pairs set one by one (any value; keys as the parser can give them: trimmed, without ';')
// survive writing and parsing.
TEST_F(ConnectionStringRoundTrip, SetWriteParseKeepsThePairs) {
  std::mt19937 rng(77);
  for (int round = 0; round < 20000; ++round) {
    ConnectionString cs;
    std::uniform_int_distribution<int> count(1, 4);
    for (int k = count(rng); k > 0; --k) {
      std::u16string key = RandomText(rng, 6);
      key.erase(std::remove(key.begin(), key.end(), u';'), key.end());
      if (kp::ado::Trim(key).empty()) key += u'k';
      cs.Set(key, RandomText(rng, 10));
    }
    std::u16string written = cs.ToString();
    ConnectionString back;
    ASSERT_EQ(ConnectionString::Parse(written, back), S_OK) << "written [" << Printable(written) << "]";
    ASSERT_EQ(back.Pairs(), cs.Pairs()) << "written [" << Printable(written) << "]";
  }
}

// The values that once did not survive: a leading '=' was written bare and read back as part of
// the keyword ("a==b" is the keyword "a=b").
TEST(ConnectionString, ValueStartingWithEqualsIsQuoted) {
  ConnectionString cs;
  cs.Set(u"Password", u"=secret");
  cs.Set(u"x", u"=");
  EXPECT_EQ(cs.ToString(), u"Password=\"=secret\";x=\"=\"");
  ConnectionString back;
  ASSERT_EQ(ConnectionString::Parse(cs.ToString(), back), S_OK);
  EXPECT_EQ(back.Pairs(), cs.Pairs());
}

}  // namespace
