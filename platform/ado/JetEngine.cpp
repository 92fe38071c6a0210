// JRO.JetEngine (see JetEngine.h).
#include "JetEngine.h"

#include "AdoError.h"
#include "ConnectionString.h"
#include "DataLinkFile.h"
#include "SqliteProvider.h"
#include "UtilErrors.h"

namespace kp::ado {
namespace {
constexpr const char16_t* kSrcJro = u"JRO.JetEngine";

HRESULT Parse(BSTR text, ConnectionString& cs, std::string& folder) {
  HRESULT hr = ConnectionString::Parse(BstrView(text), cs);
  if (FAILED(hr)) return SetError(hr, kSrcJro, AdoErrorText(hr));
  if (cs.Has(u"File Name")) {
    std::string path = ToUtf8(cs.Get(u"File Name"));
    std::u16string init, description;
    hr = DataLinkFile::Read(path, init, &description);
    if (FAILED(hr)) return SetError(hr, kSrcJro, description);
    hr = ConnectionString::Parse(init, cs);
    if (FAILED(hr)) return SetError(hr, kSrcJro, AdoErrorText(hr));
    folder = DataLinkFile::Folder(path);
  }
  return S_OK;
}

bool IsSqlite(const ConnectionString& cs) {
  std::u16string p = cs.Get(u"Provider");
  return EqualsAsciiNoCase(p, u"SQLite") || StartsWithAsciiNoCase(p, u"SQLite.");
}
}  // namespace

HRESULT JetEngineObject::raw_CompactDatabase(BSTR source, BSTR destination) {
  ConnectionString src, dst;
  std::string srcFolder, dstFolder;
  HRESULT hr = Parse(source, src, srcFolder);
  if (SUCCEEDED(hr)) hr = Parse(destination, dst, dstFolder);
  if (FAILED(hr)) return hr;
  if (!IsSqlite(src)) return AdoFail(AdoErr(adErrFeatureNotAvailable), kSrcJro);
  std::string from = SqliteProvider::ResolvePath(src, srcFolder);
  std::string to = SqliteProvider::ResolvePath(dst, dstFolder);
  if (from.empty() || to.empty() || from == ":memory:" || to == ":memory:")
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcJro);
  ProviderError err;
  hr = SqliteProvider::Compact(from, to, err);
  if (FAILED(hr)) return SetError(err.hr, err.source, err.description);
  return S_OK;
}

HRESULT JetEngineObject::raw_RefreshCache(_Connection* connection) {
  if (!connection) return AdoFail(AdoErr(adErrInvalidArgument), kSrcJro);
  return S_OK;  // SQLite writes through; there is no read cache to refresh
}

}  // namespace kp::ado
