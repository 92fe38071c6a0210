// The whole command through the reference host with the stratum lexicon on a PostgreSQL server:
// the sample lexicon (examples/lexicon.sql) loaded into a fresh database of the test server,
// isoDB.udl (UTF-16LE) naming it through ADO's ODBC provider, and a user's session run by
// sectionhost. The names are UTF-8 in the server and GBK in the module; the transcript and the
// written map are UTF-8 again, so a name or code that survives the trip shows unchanged.
//
// Assumptions: CTest's "pg" fixture runs the test server and the "PostgreSQL Unicode" driver is
// installed, else every case skips naming what is missing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "HostSession.h"
#include "PgTestServer.h"
#include "StratumTexts.h"

namespace stratumtest {
namespace {

using kptest::PgTestServer;

struct Stratum {
  std::string name;
  std::string code;
  int order;
};

std::string SampleLexiconSql() {
  std::ifstream in(PgTestServer::SourceDir() + "/examples/lexicon.sql", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows of the sample lexicon in dcbm order, read from its INSERT lines, which end in
// "VALUES ('NAME', 'CODE', ORDER);" (no quote inside the texts).
std::vector<Stratum> SampleLexicon() {
  std::vector<Stratum> rows;
  std::istringstream sql(SampleLexiconSql());
  const std::string values = "VALUES ('";
  for (std::string line; std::getline(sql, line);) {
    size_t at = line.find(values);
    if (at == std::string::npos) continue;
    size_t nameEnd = line.find("', '", at);
    size_t codeEnd = line.find("', ", nameEnd + 4);
    if (nameEnd == std::string::npos || codeEnd == std::string::npos) {
      ADD_FAILURE() << "unexpected lexicon line: " << line;
      continue;
    }
    at += values.size();
    rows.push_back({line.substr(at, nameEnd - at), line.substr(nameEnd + 4, codeEnd - nameEnd - 4),
                    std::stoi(line.substr(codeEnd + 3))});
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Stratum& a, const Stratum& b) { return a.order < b.order; });
  return rows;
}

// The names the dialog lists ("无" is left out) as the host prints them.
std::string ListedRows(const std::vector<Stratum>& lexicon) {
  std::string rows;
  int i = 0;
  for (const Stratum& s : lexicon)
    if (s.name != "无") rows += "[dialog] " + std::to_string(i++) + ": " + s.name + "\n";
  return rows;
}

// The list index of a name.
int RowOf(const std::vector<Stratum>& lexicon, const std::string& name) {
  int i = 0;
  for (const Stratum& s : lexicon) {
    if (s.name == name) return i;
    if (s.name != "无") ++i;
  }
  ADD_FAILURE() << name << " is not in the sample lexicon";
  return -1;
}

std::string Action(const std::string& verb) {
  return "> dialog " + verb + "\n[dialog] " + verb + "\n";
}

// How isoDB.udl names the server: ADO's ODBC provider with the ODBC string in Extended
// Properties, or the bare ODBC string (no Provider keyword: MSDASQL is ADO's default).
struct UdlForm {
  const char* name;
  std::string (*initString)(const std::string& odbc);
};

void PrintTo(const UdlForm& form, std::ostream* os) {
  *os << form.name;
}

const UdlForm kUdlForms[] = {
    {"ExtendedProperties",
     [](const std::string& odbc) { return "Provider=MSDASQL.1;Extended Properties=\"" + odbc + "\""; }},
    {"BareOdbcString", [](const std::string& odbc) { return odbc; }},
};

class PostgresLexicon : public testing::TestWithParam<UdlForm> {
 protected:
  void SetUp() override {
    std::string why;
    if (!PgTestServer::Available(&why)) GTEST_SKIP() << why;
    database_ = PgTestServer::CreateDatabase("lexicon");
    PgTestServer::Execute(database_, SampleLexiconSql());
    host_.WriteUdlInitString(GetParam().initString(PgTestServer::OdbcString(database_)));
  }
  std::string database_;
  HostSession host_;
};

// Two builds in one session: 中侏罗统 (J2), then 寒武系, whose code "∈" is outside ASCII (GBK
// A1CA). Both strata carry their codes; the list shows every name of the server in dcbm order.
TEST_P(PostgresLexicon, TheDialogListsTheServersNamesAndTheChosenCodesReachTheStrata) {
  const std::vector<Stratum> lexicon = SampleLexicon();
  ASSERT_EQ(lexicon.size(), 55u);
  const int jurassic = RowOf(lexicon, "中侏罗统"), cambrian = RowOf(lexicon, "寒武系");
  EXPECT_EQ(jurassic, 15);  // the row the demo script chooses
  const std::string choose1 = "select " + std::to_string(jurassic),
                    choose2 = "select " + std::to_string(cambrian);
  HostRun run =
      host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog " + choose1 + "\ndialog ok\ntext n\n" +
                "launch dsi\npick 1 2\ndialog connect\ndialog " + choose2 + "\ndialog ok\ntext n\n");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string opened = kLaunched + "> pick 1 2\n[dialog] " + kDialogCaption + "\n" + Action("connect");
  EXPECT_EQ(run.out, opened + ListedRows(lexicon) + Action(choose1) + Action("ok") + "[dialog] closed: OK\n" +
                         kBuilt + "\n" + kAskYes + "\n> text n\n" + kKept + "\n" + opened +
                         ListedRows(lexicon) + Action(choose2) + Action("ok") + "[dialog] closed: OK\n" +
                         kBuilt + "\n" + kAskNo + "\n> text n\n" + kKept + "\n");
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 2u) << run.out;
  EXPECT_EQ(strata[0]["properties"]["code"], "J2");
  EXPECT_EQ(strata[1]["properties"]["code"], "∈");
}

// The table changed on the server between two connects of one session: the second list shows
// the new rows, and a name hands back its new code.
TEST_P(PostgresLexicon, ConnectingAgainShowsTheServersCurrentRows) {
  PgTestServer::Execute(database_,
                        "DELETE FROM dcmc WHERE dcbm > 20; UPDATE dcmc SET dcdm = 'Qh2' WHERE dcdm = 'Qh'");
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog select 1\ndialog ok\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1 2\n[dialog] " + kDialogCaption + "\n" + Action("connect") +
                         "[dialog] 0: 第四系\n[dialog] 1: 全新统\n" + Action("select 1") + Action("ok") +
                         "[dialog] closed: OK\n" + kBuilt + "\n" + kAskYes + "\n");
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 1u) << run.out;
  EXPECT_EQ(strata[0]["properties"]["code"], "Qh2");
}

INSTANTIATE_TEST_SUITE_P(Udl, PostgresLexicon, testing::ValuesIn(kUdlForms),
                         [](const testing::TestParamInfo<UdlForm>& info) { return info.param.name; });

// A connect that cannot reach the lexicon shows the module's own message naming the data-link
// file, once; the list stays empty, the dialog stays open and OK builds with an empty code.
struct Unreachable {
  const char* name;
  // The ODBC string of a server that cannot serve the lexicon.
  std::string (*odbc)();
};

void PrintTo(const Unreachable& cause, std::ostream* os) {
  *os << cause.name;
}

// A local port where no server listens, and none can while the test runs: a socket bound to it
// that never listens, held until the process ends, so a connect is refused at once. (A port that
// a stopped server of the test's own left free may be taken by another server that a test
// running in parallel starts.)
int RefusingPort() {
  static const int port = [] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return 1;  // port 1 on the loopback: nothing listens there either
    return (int)ntohs(address.sin_port);
  }();
  return port;
}

const Unreachable kUnreachable[] = {
    {"ServerDown",
     [] {
       return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(RefusingPort()) +
              ";Database=postgres;Uid=postgres;Pwd=;";
     }},
    {"WrongPassword",
     [] { return PgTestServer::OdbcString("postgres", "kp_secret", "wrong"); }},
    {"NoSuchDatabase",
     [] { return PgTestServer::OdbcString("kp_no_such_lexicon"); }},
};

class UnreachableLexicon : public testing::TestWithParam<Unreachable> {
 protected:
  HostSession host_;
};

TEST_P(UnreachableLexicon, ShowsTheConnectFailureMessageAndBuildsWithAnEmptyCode) {
  std::string why;
  if (!PgTestServer::Available(&why)) GTEST_SKIP() << why;
  host_.WriteUdlInitString("Provider=MSDASQL;Extended Properties=\"" + GetParam().odbc() + "\"");
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog ok\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kLaunched + "> pick 1 2\n[dialog] " + kDialogCaption + "\n" + Action("connect") +
                         "[message box] kpSect03StratumSel: 未成功连接数据库－UDL 数据库连接方式: 文件 " +
                         host_.Dir() + "isoDB.udl 不存在或配置不正确!\n" + Action("ok") +
                         "[dialog] closed: OK\n" + kBuilt + "\n" + kAskYes + "\n");
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 1u) << run.out;
  EXPECT_EQ(strata[0]["properties"]["code"], "");
}

INSTANTIATE_TEST_SUITE_P(Postgres, UnreachableLexicon, testing::ValuesIn(kUnreachable),
                         [](const testing::TestParamInfo<Unreachable>& info) { return info.param.name; });

}  // namespace
}  // namespace stratumtest
