// The ADO walk of the benchmarks (see AdoWalk.h).
#include "AdoWalk.h"

#include <comdef.h>
#include <malloc.h>
#include <msado15.tlh>
#include <oleauto.h>

#include <cstdio>

#include "GbkText.h"

namespace kpbench {
namespace {

std::string Describe(const _com_error& e) {
  char code[16];
  snprintf(code, sizeof code, "0x%08X", (unsigned)e.Error());
  std::string text = std::string("ADO failed with ") + code;
  _bstr_t description = e.Description();
  if (description.length() > 0) text += std::string(": ") + (const char*)description;
  return text;
}

}  // namespace

void WalkAdo(benchmark::State& state, const std::string& connection, const std::string& sql,
             AdoCursor cursor) {
  std::string narrow;
  size_t total = 0, rows = 0;
  double bytesPerRow = 0;
  try {
    _ConnectionPtr conn;
    conn.CreateInstance(__uuidof(Connection));
    conn->Open(_bstr_t(connection.c_str()), _bstr_t(""), _bstr_t(""), adConnectUnspecified);
    for (auto _ : state) {
      _RecordsetPtr rs;
      rs.CreateInstance(__uuidof(Recordset));
      rs->PutCursorLocation(cursor == AdoCursor::Client ? adUseClient : adUseServer);
      size_t before = mallinfo2().uordblks;
      rs->Open(_variant_t(sql.c_str()), _variant_t((IDispatch*)conn.GetInterfacePtr()), adOpenForwardOnly,
               adLockReadOnly, adCmdText);
      size_t heldByRows = mallinfo2().uordblks - before;
      FieldsPtr fields = rs->GetFields();
      LONG count = fields->GetCount();
      rows = 0;
      while (!rs->GetadoEOF()) {
        for (LONG c = 0; c < count; ++c) {
          _variant_t v = fields->GetItem(_variant_t(c))->GetValue();
          if (v.vt != VT_BSTR) v.ChangeType(VT_BSTR);
          total += Utf16ToGbk(v.bstrVal, SysStringLen(v.bstrVal), narrow);
        }
        ++rows;
        rs->MoveNext();
      }
      if (cursor == AdoCursor::Client && rows > 0) bytesPerRow = (double)heldByRows / (double)rows;
    }
    conn->Close();
  } catch (const _com_error& e) {
    state.SkipWithError(Describe(e).c_str());
    return;
  }
  benchmark::DoNotOptimize(total);
  state.counters["rows"] = (double)rows;
  if (state.iterations() > 0) state.counters["gbk_bytes"] = (double)total / (double)state.iterations();
  if (cursor == AdoCursor::Client) state.counters["bytes_per_row"] = bytesPerRow;
}

}  // namespace kpbench
