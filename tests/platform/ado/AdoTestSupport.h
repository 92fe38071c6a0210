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
};

struct ProviderCase {
  std::string name;
  // Creates an empty database in folder dir and answers its ADO connection string.
  std::function<std::u16string(const std::string& dir)> create;
  ProviderQuirks quirks;
};

void PrintTo(const ProviderCase& c, std::ostream* os);

class AdoTest : public ::testing::TestWithParam<ProviderCase> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs statements (separated by ';' inside one text) on the open connection.
  void Exec(const std::u16string& sql);
  // A client-side recordset over sql with the given lock type.
  _RecordsetPtr OpenClient(const std::u16string& sql, LockTypeEnum lock = adLockOptimistic);
  _RecordsetPtr OpenServer(const std::u16string& sql);
  std::string dir_;
  std::u16string cs_;
  _ConnectionPtr conn_;
};

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
