// An OLE DB connection (initialisation) string as an ordered list of keyword/value pairs.
//
// Parsing follows the OLE DB syntax: `keyword=value` pairs separated by ';'; keywords are
// case-insensitive and trimmed of blanks; a '=' inside a keyword is written doubled ("a==b=1" is
// the keyword "a=b"); a value is either unquoted (trimmed, running to the next ';'), or enclosed
// in double or single quotes with a quote of the enclosing kind doubled inside, or (for the ODBC
// strings MSDASQL passes on) enclosed in ODBC braces `{...}` with '}' doubled, kept verbatim with
// its braces. A segment without '=' (such as the leading "ODBC;" of old ODBC-style strings) and
// an empty segment are ignored. A repeated keyword: the last value wins; the pair keeps the
// position and spelling of the keyword's first occurrence.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "winerror.h"

namespace kp::ado {

class ConnectionString {
 public:
  using Pair = std::pair<std::u16string, std::u16string>;

  // Parses text into out (replacing what out held). An unterminated quoted value, or text other
  // than blanks between a closing quote and the next ';', fails with DB_E_BADINITSTRING and leaves
  // out empty.
  static HRESULT Parse(std::u16string_view text, ConnectionString& out);

  const std::vector<Pair>& Pairs() const { return pairs_; }
  bool Empty() const { return pairs_.empty(); }

  // The value of key (compared without case); empty when the key is absent.
  std::u16string Get(std::u16string_view key) const;
  bool Has(std::u16string_view key) const;
  // Replaces the value of an existing key in place or appends the pair.
  void Set(std::u16string_view key, std::u16string_view value);
  // Removes key; answers whether it was present.
  bool Remove(std::u16string_view key);

  // "k1=v1;k2=v2": keywords with '=' doubled; a value that contains ';' or a quote, starts with
  // '=', starts with '{' without being one complete ODBC brace group, or has leading or
  // trailing blanks is enclosed in double quotes with inner double quotes doubled; other values
  // are written exactly as held. Parse reads the result back to the same pairs, for every
  // string Parse accepted (keywords never hold ';').
  std::u16string ToString() const;

  // A value for an ODBC connection string: one that contains ';', '{' or '}' or has leading or
  // trailing blanks is enclosed in braces with '}' doubled; other values are returned unchanged.
  static std::u16string OdbcValue(std::u16string_view value);

 private:
  std::vector<Pair>::iterator Find(std::u16string_view key);
  std::vector<Pair> pairs_;
};

}  // namespace kp::ado
