// The embedded SQLite provider: Provider=SQLite (or SQLite.1, any case);
// Data Source=<file> or :memory:.
//
// The provider opens existing database files only and never creates one: a missing file fails
// Open with SQLite's "unable to open database file" (SQLSTATE 08001, E_FAIL). A relative file
// name in a .udl file is relative to the .udl's folder; elsewhere to the current folder. Mode=Read
// (adModeRead) opens read-only. SQL text goes to SQLite as it is; '?' parameters bind in order.
// SQLite has no stored procedures. Transactions nest with savepoints. CommandTimeout interrupts a
// statement that runs longer (SQLSTATE HYT00) and is also the busy timeout for a locked database.
// Errors map to SQLSTATEs and OLE DB HRESULTs in one place (SqliteDiagnostics.h). The session
// and its cursor are SqliteSession and SqliteCursor.
#pragma once
#include <string>

#include "Provider.h"

namespace kp::ado {

class SqliteProvider {
 public:
  // login is ignored: SQLite files have no users.
  static HRESULT Open(const ConnectionString& cs, const ProviderLogin& login, const std::string& udlFolder,
                      LONG timeoutSeconds, int mode, std::unique_ptr<ProviderSession>& session,
                      ProviderError& err);
  // Copies and compacts the database at srcPath into a new file dstPath (VACUUM INTO); the
  // destination must not exist.
  static HRESULT Compact(const std::string& srcPath, const std::string& dstPath, ProviderError& err);
  // The file a connection string names, resolved as Open resolves it.
  static std::string ResolvePath(const ConnectionString& cs, const std::string& udlFolder);
};

}  // namespace kp::ado
