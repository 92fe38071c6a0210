// The provider mapping of the ODBC provider (see OdbcConnect.h).
#include "OdbcConnect.h"

#include "TextUtil.h"

namespace kp::ado {
namespace {

bool Is(std::u16string_view a, std::initializer_list<std::u16string_view> names) {
  for (std::u16string_view n : names)
    if (EqualsNoCase(a, n)) return true;
  return false;
}

// The provider name without blanks around it and without ".N" version segments.
std::u16string_view BaseName(std::u16string_view v) {
  v = Trim(v);
  for (;;) {
    size_t dot = v.rfind(u'.');
    if (dot == std::u16string_view::npos || dot + 1 >= v.size()) return v;
    for (size_t i = dot + 1; i < v.size(); ++i)
      if (v[i] < u'0' || v[i] > u'9') return v;
    v = v.substr(0, dot);
  }
}

bool IsWholeBraceGroup(std::u16string_view v) {
  if (v.size() < 2 || v.front() != u'{') return false;
  for (size_t i = 1; i < v.size(); ++i) {
    if (v[i] != u'}') continue;
    if (i + 1 < v.size() && v[i + 1] == u'}') {
      ++i;
      continue;
    }
    return i + 1 == v.size();
  }
  return false;
}

// The ODBC string under construction: one "key=value" per key, in order of first appearance.
class OdbcPairs {
 public:
  void Set(std::u16string_view key, std::u16string_view value) {
    for (auto& p : pairs_)
      if (EqualsNoCase(p.first, key)) {
        p.second = value;
        return;
      }
    pairs_.emplace_back(std::u16string(key), std::u16string(value));
  }
  bool Has(std::u16string_view key) const {
    for (const auto& p : pairs_)
      if (EqualsNoCase(p.first, key)) return true;
    return false;
  }
  std::u16string ToString() const {
    std::u16string out;
    for (const auto& p : pairs_) {
      if (!out.empty()) out += u';';
      out += p.first;
      out += u'=';
      out += OdbcConnect::Value(p.second);
    }
    return out;
  }

 private:
  std::vector<ConnectionString::Pair> pairs_;
};

// The first of keys that cs holds (its value in value); false when none is there.
bool First(const ConnectionString& cs, std::initializer_list<std::u16string_view> keys,
           std::u16string& value) {
  for (std::u16string_view k : keys)
    if (cs.Has(k)) {
      value = cs.Get(k);
      return true;
    }
  return false;
}

// Connection.Open's user and password over whatever the string gave.
void ApplyLogin(OdbcPairs& out, std::u16string_view user, std::u16string_view password) {
  if (!user.empty()) out.Set(u"UID", user);
  if (!password.empty()) out.Set(u"PWD", password);
}

std::u16string Msdasql(const ConnectionString& cs, std::u16string_view user, std::u16string_view password) {
  OdbcPairs out;
  ConnectionString extended;
  if (cs.Has(u"Extended Properties") &&
      SUCCEEDED(ConnectionString::Parse(cs.Get(u"Extended Properties"), extended)))
    for (const auto& p : extended.Pairs()) out.Set(p.first, p.second);
  for (const auto& p : cs.Pairs())
    if (!OdbcConnect::IsOleDbOnly(p.first)) out.Set(p.first, p.second);
  std::u16string v;
  if (First(cs, {u"Data Source"}, v) && !out.Has(u"DSN") && !out.Has(u"DRIVER") && !out.Has(u"FILEDSN"))
    out.Set(u"DSN", v);
  if (First(cs, {u"User ID"}, v) && !out.Has(u"UID")) out.Set(u"UID", v);
  if (First(cs, {u"Password"}, v) && !out.Has(u"PWD")) out.Set(u"PWD", v);
  if (First(cs, {u"Initial Catalog"}, v) && !out.Has(u"DATABASE")) out.Set(u"DATABASE", v);
  ApplyLogin(out, user, password);
  return out.ToString();
}

std::u16string SqlServer(const ConnectionString& cs, std::u16string_view user, std::u16string_view password) {
  OdbcPairs out;
  out.Set(u"DRIVER", u"{FreeTDS}");
  std::u16string v;
  if (First(cs, {u"Server", u"Data Source", u"Address", u"Addr"}, v)) {
    std::u16string server(Trim(v)), port;
    size_t comma = server.find(u',');
    if (comma != std::u16string::npos) {
      port = std::u16string(Trim(std::u16string_view(server).substr(comma + 1)));
      server = std::u16string(Trim(std::u16string_view(server).substr(0, comma)));
    }
    out.Set(u"SERVER", server);
    if (!port.empty()) out.Set(u"PORT", port);
  }
  if (cs.Has(u"Port")) out.Set(u"PORT", cs.Get(u"Port"));
  if (First(cs, {u"Initial Catalog", u"Database"}, v)) out.Set(u"DATABASE", v);
  if (First(cs, {u"User ID", u"UID"}, v)) out.Set(u"UID", v);
  if (First(cs, {u"Password", u"PWD"}, v)) out.Set(u"PWD", v);
  ApplyLogin(out, user, password);
  bool trusted = EqualsNoCase(Trim(cs.Get(u"Integrated Security")), u"SSPI") ||
                 Is(Trim(cs.Get(u"Trusted_Connection")), {u"yes", u"true"});
  if (trusted) out.Set(u"Trusted_Connection", u"Yes");
  // FreeTDS keywords that have no OLE DB spelling pass through.
  for (const char16_t* k : {u"TDS_Version", u"APP", u"WSID", u"Language", u"ClientCharset", u"Encrypt"})
    if (cs.Has(k)) out.Set(k, cs.Get(k));
  return out.ToString();
}

std::u16string Jet(const ConnectionString& cs, std::u16string_view udlFolder) {
  std::u16string path;
  First(cs, {u"Data Source", u"DBQ"}, path);
  path = std::u16string(Trim(path));
  for (char16_t& c : path)
    if (c == u'\\') c = u'/';
  if (!path.empty() && path[0] != u'/' && !udlFolder.empty()) {
    std::u16string folder(udlFolder);
    if (folder.back() != u'/') folder.push_back(u'/');
    path = folder + path;
  }
  OdbcPairs out;
  out.Set(u"DRIVER", u"{MDBTools}");
  out.Set(u"DBQ", path);
  return out.ToString();
}

}  // namespace

OdbcConnect::Family OdbcConnect::FamilyOf(std::u16string_view provider) {
  std::u16string_view b = BaseName(provider);
  if (b.empty() || EqualsNoCase(b, u"MSDASQL")) return Family::Msdasql;
  if (Is(b, {u"SQLOLEDB", u"SQLNCLI", u"SQLNCLI10", u"SQLNCLI11", u"MSOLEDBSQL"})) return Family::SqlServer;
  if (Is(b, {u"Microsoft.Jet.OLEDB", u"Microsoft.ACE.OLEDB"})) return Family::Jet;
  return Family::Unknown;
}

bool OdbcConnect::IsOleDbOnly(std::u16string_view key) {
  return Is(Trim(key), {u"Provider",
                        u"Persist Security Info",
                        u"Mode",
                        u"Connect Timeout",
                        u"Extended Properties",
                        u"Prompt",
                        u"File Name",
                        u"Data Source",
                        u"User ID",
                        u"Password",
                        u"Initial Catalog",
                        u"Integrated Security",
                        u"Locale Identifier",
                        u"OLE DB Services",
                        u"Window Handle",
                        u"Location",
                        u"Cache Authentication",
                        u"Encrypt Password",
                        u"Mask Password",
                        u"Impersonation Level",
                        u"Protection Level",
                        u"Bind Flags",
                        u"General Timeout",
                        u"Asynchronous Processing",
                        u"Current Language",
                        u"Remote Provider",
                        u"Remote Server",
                        u"URL"});
}

std::u16string OdbcConnect::Value(std::u16string_view value) {
  if (IsWholeBraceGroup(value)) return std::u16string(value);
  return ConnectionString::OdbcValue(value);
}

OdbcConnect::Target OdbcConnect::Build(const ConnectionString& cs, std::u16string_view udlFolder,
                                       std::u16string_view user, std::u16string_view password) {
  Target t;
  t.family = FamilyOf(cs.Get(u"Provider"));
  switch (t.family) {
    case Family::Msdasql:
      t.connect = Msdasql(cs, user, password);
      break;
    case Family::SqlServer:
      t.connect = SqlServer(cs, user, password);
      t.driver = u"FreeTDS";
      break;
    case Family::Jet:
      t.connect = Jet(cs, udlFolder);
      t.driver = u"MDBTools";
      t.readOnly = true;
      break;
    case Family::Unknown:
      break;
  }
  return t;
}

}  // namespace kp::ado
