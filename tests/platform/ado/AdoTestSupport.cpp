// The provider fixture and helpers of the ADO tests (see AdoTestSupport.h).
#include "AdoTestSupport.h"

#include <winnls.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kp::ado::test {

std::string TempDir() {
  char tmpl[] = "/tmp/kpado-test-XXXXXX";
  char* d = mkdtemp(tmpl);
  return d ? d : "/tmp";
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::u16string U(const char* s) {
  return kp::Widen(s, std::strlen(s), CP_UTF8);
}

std::string Utf8(const _bstr_t& b) {
  const OLECHAR* p = (const OLECHAR*)b;
  return p ? kp::Narrow(reinterpret_cast<const char16_t*>(p), b.length(), CP_UTF8) : std::string();
}

_bstr_t B(const char16_t* s) {
  return _bstr_t(s);
}

HRESULT Hr(const std::function<void()>& f) {
  try {
    f();
  } catch (const _com_error& e) {
    return e.Error();
  }
  return S_OK;
}

_variant_t Val(const _RecordsetPtr& rs, const char* field) {
  return rs->GetFields()->GetItem(_variant_t(_bstr_t(field)))->GetValue();
}

void AdoTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  dir_ = TempDir();
  if (GetParam().missing) {
    std::string why = GetParam().missing();
    if (!why.empty()) GTEST_SKIP() << GetParam().name << " is not available: " << why;
  }
  cs_ = GetParam().create(dir_);
  ASSERT_EQ(conn_.CreateInstance(__uuidof(Connection)), S_OK);
  ASSERT_EQ(conn_->Open(_bstr_t(cs_.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified), S_OK);
}

void AdoTest::TearDown() {
  if (conn_ && conn_->GetState() == adStateOpen) conn_->Close();
  conn_ = nullptr;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
  CoUninitialize();
}

std::u16string AdoTest::Ddl(const std::u16string& sql) const {
  return GetParam().ddl ? GetParam().ddl(sql) : sql;
}

void AdoTest::Exec(const std::u16string& sql) {
  std::vector<std::u16string> texts;
  if (Quirks().sqliteOdbc) {  // one statement per text (the suites' statements hold no ';' in literals)
    size_t from = 0;
    for (size_t at = sql.find(u';'); from < sql.size(); at = sql.find(u';', from)) {
      texts.push_back(sql.substr(from, at == std::u16string::npos ? std::u16string::npos : at - from));
      from = at == std::u16string::npos ? sql.size() : at + 1;
    }
  } else {
    texts.push_back(sql);
  }
  for (const std::u16string& text : texts) {
    try {
      conn_->Execute(_bstr_t(Ddl(text).c_str()), nullptr, adExecuteNoRecords);
    } catch (const _com_error& e) {
      ADD_FAILURE() << "Execute failed: 0x" << std::hex << e.Error() << " " << Utf8(e.Description());
      throw;
    }
  }
}

void PrintTo(const ProviderCase& c, std::ostream* os) {
  *os << c.name;
}

_RecordsetPtr AdoTest::OpenClient(const std::u16string& sql, LockTypeEnum lock) {
  _RecordsetPtr rs;
  rs.CreateInstance(__uuidof(Recordset));
  rs->PutCursorLocation(adUseClient);
  rs->Open(_variant_t(_bstr_t(sql.c_str())), _variant_t((IDispatch*)conn_.GetInterfacePtr()), adOpenStatic,
           lock, adCmdText);
  return rs;
}

_RecordsetPtr AdoTest::OpenServer(const std::u16string& sql) {
  _RecordsetPtr rs;
  rs.CreateInstance(__uuidof(Recordset));
  rs->Open(_variant_t(_bstr_t(sql.c_str())), _variant_t((IDispatch*)conn_.GetInterfacePtr()),
           adOpenForwardOnly, adLockReadOnly, adCmdText);
  return rs;
}

}  // namespace kp::ado::test
