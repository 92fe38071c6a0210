// From an OLE DB connection string to the ODBC connection string that SQLDriverConnect takes:
// the provider mapping of the ODBC provider, kept free of ODBC calls so that it is testable alone.
//
// Three families of OLE DB providers reach ODBC drivers here:
// - MSDASQL (the default when there is no Provider keyword): the string is an ODBC string
//   already. Extended Properties (an ODBC string itself) is the base; DSN, FILEDSN, DRIVER and
//   other plain keys pass through; Data Source becomes DSN (unless a DRIVER, DSN or FILEDSN is
//   given), User ID becomes UID, Password PWD, Initial Catalog DATABASE; OLE DB-only keywords
//   (Provider, Persist Security Info, Mode, Connect Timeout, Prompt, ...) are dropped. Any
//   driver the driver manager knows may be named; a missing one is the driver manager's IM002.
// - The SQL Server providers (SQLOLEDB, SQLNCLI, SQLNCLI10, SQLNCLI11, MSOLEDBSQL): the FreeTDS
//   driver. Data Source/Server -> SERVER ("host,port" -> SERVER=host;PORT=port), Initial
//   Catalog/Database -> DATABASE, User ID/UID -> UID, Password/PWD -> PWD, Integrated
//   Security=SSPI or Trusted_Connection=yes -> Trusted_Connection=Yes. A DRIVER keyword (the
//   Windows "{SQL Server}" driver) is replaced by FreeTDS.
// - Jet and ACE (Microsoft.Jet.OLEDB.*, Microsoft.ACE.OLEDB.*): the MDBTools driver, which
//   reads Access files only. DBQ=<Data Source>, a relative name resolved against the folder of
//   the .udl the string came from; '\' reads as '/'.
// Values are written as they are unless they hold ';', '{' or '}' or have leading or trailing
// blanks; those are enclosed in braces with '}' doubled. A value that is one complete brace
// group already ("{SQL Server}") is kept as it is.
#pragma once
#include <string>
#include <string_view>

#include "ConnectionString.h"

namespace kp::ado {

class OdbcConnect {
 public:
  enum class Family { Msdasql, SqlServer, Jet, Unknown };

  struct Target {
    Family family = Family::Unknown;
    std::u16string connect;  // for SQLDriverConnect
    std::u16string driver;   // the driver the family needs ("FreeTDS"); empty for MSDASQL
    bool readOnly = false;   // the driver cannot write (MDBTools)
  };

  // The family of a Provider= value (case and a trailing ".N" version ignored); an empty value
  // is MSDASQL.
  static Family FamilyOf(std::u16string_view provider);
  // Builds the ODBC string for cs. udlFolder: folder of the .udl the string came from, or "".
  // user and password: Connection.Open's arguments; a non-empty one is written as UID / PWD in
  // place of whatever the string (or its Extended Properties) says, for MSDASQL and the SQL
  // Server family (MDBTools has no logins). An unknown family gives an empty target.
  static Target Build(const ConnectionString& cs, std::u16string_view udlFolder,
                      std::u16string_view user = {}, std::u16string_view password = {});
  // Whether key is an OLE DB initialisation keyword that an ODBC driver must not see.
  static bool IsOleDbOnly(std::u16string_view key);
  // A value as written into an ODBC string (see above).
  static std::u16string Value(std::u16string_view value);
};

}  // namespace kp::ado
