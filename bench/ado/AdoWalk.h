// The ADO side of the walk benchmarks, shared by bench_ado (SQLite) and bench_ado_pg
// (PostgreSQL through ODBC): each iteration opens a query with Recordset.Open on one connection
// and turns every field of every row into GBK text, the way ado2 reads a recordset:
// Fields->GetItem(i)->GetValue(), the VARIANT coerced to BSTR (UTF-16), then GBK.
//
// The caller initialises COM on the thread. A failure (the provider missing, the server gone)
// ends the run with state.SkipWithError and the HRESULT and description in the message.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace kpbench {

enum class AdoCursor { Server, Client };

// Counters: "rows" (rows walked per iteration), "gbk_bytes" (GBK bytes per walk) and, for the client cursor,
// "bytes_per_row" (heap bytes the materialised rows hold, from malloc statistics before and after Open).
void WalkAdo(benchmark::State& state, const std::string& connection, const std::string& sql,
             AdoCursor cursor);

}  // namespace kpbench
