// The ODBC provider (see OdbcProvider.h).
#include "OdbcProvider.h"

#include <msado15.tlh>

#include <dlfcn.h>
#include <locale.h>

#include <mutex>

#include "AdoText.h"
#include "ConnectionString.h"
#include "OdbcApi.h"
#include "OdbcConnect.h"
#include "OdbcDiagnostics.h"
#include "OdbcSession.h"
#include "UtilErrors.h"

namespace kp::ado {
namespace {

// The process's ODBC 3 environment (null when the driver manager cannot make one).
SQLHENV Environment() {
  static SQLHENV env = [] {
    SQLHENV e = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e))) return (SQLHENV)SQL_NULL_HENV;
    SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    // The driver manager and the drivers it loaded stay resident from now on: this library may
    // be unloaded with the plug-in that brought it, and the environment lives in their memory.
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&SQLAllocHandle), &info) != 0 && info.dli_fname)
      dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return e;
  }();
  return env;
}

// unixODBC converts between UTF-16 and the narrow text of drivers without wide entry points
// (the SQLite3 driver, whose text is UTF-8) with iconv's "char" encoding, chosen when a
// connection handle is allocated and following the thread's LC_CTYPE; in the "C" locale of a program that
// never called setlocale every byte would become one unit. So a connection is made under a
// UTF-8 LC_CTYPE for the calling thread only; the process's locale is left alone.
class Utf8CtypeForThisThread {
 public:
  // A locale object of its own each time: this library may be unloaded, a cached one would be
  // lost with it.
  Utf8CtypeForThisThread() : utf8_(newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0)) {
    if (utf8_ != (locale_t)0) previous_ = uselocale(utf8_);
  }
  ~Utf8CtypeForThisThread() {
    if (previous_ != (locale_t)0) uselocale(previous_);
    if (utf8_ != (locale_t)0) freelocale(utf8_);
  }
  Utf8CtypeForThisThread(const Utf8CtypeForThisThread&) = delete;
  Utf8CtypeForThisThread& operator=(const Utf8CtypeForThisThread&) = delete;

 private:
  locale_t utf8_;
  locale_t previous_ = (locale_t)0;
};

}  // namespace

bool OdbcProvider::DriverInstalled(std::u16string_view name) {
  SQLHENV env = Environment();
  if (env == SQL_NULL_HENV) return false;
  static std::mutex lock;  // SQLDrivers keeps its position in the environment
  std::lock_guard<std::mutex> hold(lock);
  SQLWCHAR driver[256], attributes[1024];
  SQLSMALLINT driverLength = 0, attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  bool found = false;
  while (SQL_SUCCEEDED(
      SQLDriversW(env, direction, driver, 256, &driverLength, attributes, 1024, &attributesLength))) {
    size_t units = driverLength >= 0 && driverLength < 256 ? (size_t)driverLength : 255;
    found = found ||
            EqualsAsciiNoCase(std::u16string_view(reinterpret_cast<const char16_t*>(driver), units), name);
    direction = SQL_FETCH_NEXT;
  }
  return found;
}

HRESULT OdbcProvider::Open(const ConnectionString& cs, const ProviderLogin& login,
                           const std::string& udlFolder, LONG timeoutSeconds, int mode,
                           std::unique_ptr<ProviderSession>& session, ProviderError& err) {
  OdbcConnect::Target target = OdbcConnect::Build(cs, FromUtf8(udlFolder), login.user, login.password);
  if (target.family == OdbcConnect::Family::Unknown) {
    err = OdbcDiagnostics::Make(AdoErr(adErrProviderNotFound), u"IM002",
                                u"Provider cannot be found. It may not be correctly installed.");
    return err.hr;
  }
  SQLHENV env = Environment();
  if (env == SQL_NULL_HENV) {
    err = OdbcDiagnostics::Make(E_FAIL, u"HY001", u"The ODBC driver manager could not make an environment.");
    return err.hr;
  }
  if (!target.driver.empty() && !DriverInstalled(target.driver)) {
    err = OdbcDiagnostics::Make(
        AdoErr(adErrProviderNotFound), u"IM003",
        u"Provider cannot be found. It may not be correctly installed. (The ODBC driver \"" + target.driver +
            u"\" that " + cs.Get(u"Provider") + u" needs is not installed.)");
    return err.hr;
  }
  SQLHDBC dbc = SQL_NULL_HDBC;
  Utf8CtypeForThisThread utf8;  // the driver manager picks the connection's encodings here
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_ENV, env, "SQLAllocHandle", err)) return err.hr;
  if (timeoutSeconds > 0) {
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, (SQLPOINTER)(SQLULEN)timeoutSeconds, SQL_IS_UINTEGER);
    SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, (SQLPOINTER)(SQLULEN)timeoutSeconds,
                       SQL_IS_UINTEGER);
  }
  if ((mode & 3) == adModeRead)
    SQLSetConnectAttrW(dbc, SQL_ATTR_ACCESS_MODE, (SQLPOINTER)SQL_MODE_READ_ONLY, SQL_IS_UINTEGER);
  std::u16string connect = target.connect;
  SQLWCHAR out[1024];
  SQLSMALLINT outLength = 0;
  rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                         (SQLSMALLINT)connect.size(), out, 1024, &outLength, SQL_DRIVER_NOPROMPT);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc, "SQLDriverConnectW", err)) {
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return err.hr;
  }
  session = std::make_unique<OdbcSession>(dbc, target.readOnly);
  return S_OK;
}

namespace {
struct Registration {
  Registration() {
    for (const char16_t* name : {u"MSDASQL", u"SQLOLEDB", u"SQLNCLI", u"SQLNCLI10", u"SQLNCLI11",
                                 u"MSOLEDBSQL", u"Microsoft.Jet.OLEDB", u"Microsoft.ACE.OLEDB"})
      ProviderRegistry::Register(name, &OdbcProvider::Open);
  }
} g_registration;
}  // namespace

}  // namespace kp::ado
