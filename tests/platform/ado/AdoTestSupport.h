// The provider fixture of the ADO conformance tests. Each test is written once against ADO's
// documented behaviour and runs for every provider instantiation: a ProviderCase says how to make
// an empty database and its connection string, gives the DDL type names the tests use, and lists
// the provider's documented quirks, which tests allow explicitly (never silently).
#pragma once
#include <comdef.h>
#include <gtest/gtest.h>
#include <msado15.tlh>
#include <objbase.h>
#include <oleauto.h>

#include <functional>
#include <string>

namespace kp::ado::test {

struct ProviderQuirks {
  // Significant decimal digits kept for NUMERIC/DECIMAL/MONEY values (0 = exact). SQLite stores
  // such values as REAL (15 digits).
  int decimalDigits = 0;
  // The ODBC provider: there are no row ids (a table without a key is keyed by all its values),
  // errors and their SQLSTATEs are the driver's, and no ODBC type is a currency type (MONEY reads
  // as the driver describes it, not as adCurrency).
  bool odbc = false;
  // PostgreSQL through "PostgreSQL Unicode": SQLSTATEs are the server's (42P01 for a missing
  // table where ODBC names 42S02, 23505 for a unique violation); stored procedures exist
  // (functions, called through ODBC's "{call name}"); column types are strict (an
  // INTEGER column refuses a value beyond 32 bits, 22003); unquoted names fold to lower case;
  // CHAR(n) pads with blanks; text columns are described as the wide ODBC types (adWChar,
  // adVarWChar, adLongVarWChar).
  bool postgres = false;
  // SQLite through the "SQLite3" ODBC driver: one statement per command text; every error is
  // HY000 (so E_FAIL); declared types are typed by the driver's own table (NUMERIC is
  // SQL_DOUBLE, BLOB a VARBINARY that is not long); NOT NULL is not reported.
  bool sqliteOdbc = false;
};

struct ProviderCase {
  std::string name;
  // Creates an empty database in folder dir and answers its ADO connection string.
  std::function<std::u16string(const std::string& dir)> create;
  ProviderQuirks quirks;
  // Why the provider cannot run here (a driver or server missing); empty when it can.
  std::function<std::string()> missing;
  // The provider's spelling of the suites' (SQLite-flavoured) DDL; identity when empty.
  std::function<std::u16string(const std::u16string&)> ddl;
};

void PrintTo(const ProviderCase& c, std::ostream* os);

class AdoTest : public ::testing::TestWithParam<ProviderCase> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs statements (separated by ';' inside one text) on the open connection, in the
  // provider's DDL spelling.
  void Exec(const std::u16string& sql);
  // sql in the provider's DDL spelling.
  std::u16string Ddl(const std::u16string& sql) const;
  const ProviderQuirks& Quirks() const { return GetParam().quirks; }
  // A client-side recordset over sql with the given lock type.
  _RecordsetPtr OpenClient(const std::u16string& sql, LockTypeEnum lock = adLockOptimistic);
  _RecordsetPtr OpenServer(const std::u16string& sql);
  std::string dir_;
  std::u16string cs_;
  _ConnectionPtr conn_;
};

// Tests of the embedded SQLite provider's own behaviour (its files, data-link files naming it,
// type affinity, row ids, JRO compaction), bound to SQLite alone.
class SqliteOnlyTest : public AdoTest {};

// HRESULT of a call that should throw _com_error (S_OK when nothing was thrown).
HRESULT Hr(const std::function<void()>& f);
inline constexpr HRESULT Ado(int n) {
  return (HRESULT)(0x800A0000u + (unsigned)n);
}
std::u16string U(const char* utf8);
std::string Utf8(const _bstr_t& b);
_bstr_t B(const char16_t* s);
// The value of field f (name) of the current row.
_variant_t Val(const _RecordsetPtr& rs, const char* field);
std::string TempDir();
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace kp::ado::test
