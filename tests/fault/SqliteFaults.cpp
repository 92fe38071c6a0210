// The SQLite fault injector (see SqliteFaults.h): an allocator wrapper and a VFS shim.
//
// The shim's file object is the shim's header followed by the real VFS's own file object; every
// I/O method forwards to the real one, and only xRead, xWrite and xSync count and may fail. Its
// method tables mirror the real file's version, so SQLite never calls a method (shared memory,
// memory mapping) that the real file lacks.
#include "SqliteFaults.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace kp::fault {
namespace {

std::atomic<long> g_count[4];
std::atomic<bool> g_counting{false};
std::atomic<bool> g_armed{false};
std::atomic<int> g_armKind{0};
std::atomic<long> g_armAt{0};
std::atomic<bool> g_persistent{false};
std::atomic<long> g_failed{0};

// Counts one call of kind; true when that call is to fail.
bool Fails(FaultKind kind) {
  if (!g_counting.load()) return false;
  long n = ++g_count[(int)kind];
  if (!g_armed.load() || g_armKind.load() != (int)kind) return false;
  long at = g_armAt.load();
  if (n == at || (g_persistent.load() && n > at)) {
    ++g_failed;
    return true;
  }
  return false;
}

// ---- the allocator wrapper --------------------------------------------------------------------

sqlite3_mem_methods g_memory;  // SQLite's default allocator

void* FaultMalloc(int bytes) {
  return Fails(FaultKind::Malloc) ? nullptr : g_memory.xMalloc(bytes);
}
void* FaultRealloc(void* p, int bytes) {
  return Fails(FaultKind::Malloc) ? nullptr : g_memory.xRealloc(p, bytes);
}
void FaultFree(void* p) {
  g_memory.xFree(p);
}
int FaultSize(void* p) {
  return g_memory.xSize(p);
}
int FaultRoundup(int bytes) {
  return g_memory.xRoundup(bytes);
}
int FaultInit(void*) {
  return g_memory.xInit(g_memory.pAppData);
}
void FaultShutdown(void*) {
  g_memory.xShutdown(g_memory.pAppData);
}

// ---- the VFS shim -----------------------------------------------------------------------------

sqlite3_vfs* g_real = nullptr;  // the "unix" VFS
sqlite3_vfs g_shim;

struct ShimFile {
  sqlite3_file base;   // the shim's methods
  sqlite3_file* real;  // the real VFS's file object, right behind this header
};

sqlite3_file* Real(sqlite3_file* f) {
  return reinterpret_cast<ShimFile*>(f)->real;
}

int ShimClose(sqlite3_file* f) {
  sqlite3_file* r = Real(f);
  int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
  f->pMethods = nullptr;
  return rc;
}
int ShimRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  if (Fails(FaultKind::Read)) return SQLITE_IOERR_READ;
  return Real(f)->pMethods->xRead(Real(f), buffer, amount, offset);
}
int ShimWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (Fails(FaultKind::Write)) return SQLITE_IOERR_WRITE;
  return Real(f)->pMethods->xWrite(Real(f), buffer, amount, offset);
}
int ShimTruncate(sqlite3_file* f, sqlite3_int64 size) {
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int ShimSync(sqlite3_file* f, int flags) {
  if (Fails(FaultKind::Sync)) return SQLITE_IOERR_FSYNC;
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int ShimFileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int ShimLock(sqlite3_file* f, int level) {
  return Real(f)->pMethods->xLock(Real(f), level);
}
int ShimUnlock(sqlite3_file* f, int level) {
  return Real(f)->pMethods->xUnlock(Real(f), level);
}
int ShimCheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int ShimFileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int ShimSectorSize(sqlite3_file* f) {
  return Real(f)->pMethods->xSectorSize(Real(f));
}
int ShimDeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShimShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShimShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShimShmBarrier(sqlite3_file* f) {
  Real(f)->pMethods->xShmBarrier(Real(f));
}
int ShimShmUnmap(sqlite3_file* f, int deleteFlag) {
  return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag);
}
int ShimFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), offset, amount, out);
}
int ShimUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
  return Real(f)->pMethods->xUnfetch(Real(f), offset, p);
}

// One method table per version of the real file's table (index = iVersion, 1 to 3).
sqlite3_io_methods g_io[4];

void MakeMethodTables() {
  for (int v = 1; v <= 3; ++v) {
    sqlite3_io_methods& m = g_io[v];
    std::memset(&m, 0, sizeof m);
    m.iVersion = v;
    m.xClose = ShimClose;
    m.xRead = ShimRead;
    m.xWrite = ShimWrite;
    m.xTruncate = ShimTruncate;
    m.xSync = ShimSync;
    m.xFileSize = ShimFileSize;
    m.xLock = ShimLock;
    m.xUnlock = ShimUnlock;
    m.xCheckReservedLock = ShimCheckReservedLock;
    m.xFileControl = ShimFileControl;
    m.xSectorSize = ShimSectorSize;
    m.xDeviceCharacteristics = ShimDeviceCharacteristics;
    if (v >= 2) {
      m.xShmMap = ShimShmMap;
      m.xShmLock = ShimShmLock;
      m.xShmBarrier = ShimShmBarrier;
      m.xShmUnmap = ShimShmUnmap;
    }
    if (v >= 3) {
      m.xFetch = ShimFetch;
      m.xUnfetch = ShimUnfetch;
    }
  }
}

int ShimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  auto* shim = reinterpret_cast<ShimFile*>(f);
  shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
  shim->real->pMethods = nullptr;
  int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
  const sqlite3_io_methods* real = shim->real->pMethods;
  if (real == nullptr) {
    f->pMethods = nullptr;  // SQLite calls no method of a file whose open left none
    return rc;
  }
  int version = real->iVersion < 1 ? 1 : real->iVersion > 3 ? 3 : real->iVersion;
  f->pMethods = &g_io[version];
  return rc;
}
int ShimDelete(sqlite3_vfs*, const char* name, int syncDir) {
  return g_real->xDelete(g_real, name, syncDir);
}
int ShimAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_real->xAccess(g_real, name, flags, out);
}
int ShimFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return g_real->xFullPathname(g_real, name, size, out);
}
void* ShimDlOpen(sqlite3_vfs*, const char* name) {
  return g_real->xDlOpen(g_real, name);
}
void ShimDlError(sqlite3_vfs*, int size, char* out) {
  g_real->xDlError(g_real, size, out);
}
void (*ShimDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return g_real->xDlSym(g_real, handle, symbol);
}
void ShimDlClose(sqlite3_vfs*, void* handle) {
  g_real->xDlClose(g_real, handle);
}
int ShimRandomness(sqlite3_vfs*, int size, char* out) {
  return g_real->xRandomness(g_real, size, out);
}
int ShimSleep(sqlite3_vfs*, int microseconds) {
  return g_real->xSleep(g_real, microseconds);
}
int ShimCurrentTime(sqlite3_vfs*, double* out) {
  return g_real->xCurrentTime(g_real, out);
}
int ShimGetLastError(sqlite3_vfs*, int size, char* out) {
  return g_real->xGetLastError(g_real, size, out);
}
int ShimCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return g_real->xCurrentTimeInt64(g_real, out);
}
int ShimSetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr p) {
  return g_real->xSetSystemCall(g_real, name, p);
}
sqlite3_syscall_ptr ShimGetSystemCall(sqlite3_vfs*, const char* name) {
  return g_real->xGetSystemCall(g_real, name);
}
const char* ShimNextSystemCall(sqlite3_vfs*, const char* name) {
  return g_real->xNextSystemCall(g_real, name);
}

bool g_installed = false;

bool DoInstall(const char** why) {
  if (g_installed) return true;
  auto fail = [why](const char* text) {
    if (why) *why = text;
    return false;
  };
  // SQLite takes a new allocator only while it is not initialised.
  int rc = sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_memory);
  if (rc == SQLITE_MISUSE) {
    sqlite3_shutdown();
    rc = sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_memory);
  }
  if (rc != SQLITE_OK) return fail("sqlite3_config(SQLITE_CONFIG_GETMALLOC) failed");
  sqlite3_mem_methods wrapper = {FaultMalloc,  FaultFree, FaultRealloc,  FaultSize,
                                 FaultRoundup, FaultInit, FaultShutdown, nullptr};
  if (sqlite3_config(SQLITE_CONFIG_MALLOC, &wrapper) != SQLITE_OK)
    return fail("sqlite3_config(SQLITE_CONFIG_MALLOC) failed");
  if (sqlite3_initialize() != SQLITE_OK) return fail("sqlite3_initialize failed");
  g_real = sqlite3_vfs_find("unix");
  if (g_real == nullptr) return fail("SQLite has no \"unix\" VFS");
  MakeMethodTables();
  std::memset(&g_shim, 0, sizeof g_shim);
  g_shim.iVersion = g_real->iVersion < 3 ? g_real->iVersion : 3;
  g_shim.szOsFile = (int)sizeof(ShimFile) + g_real->szOsFile;
  g_shim.mxPathname = g_real->mxPathname;
  g_shim.zName = "kpfault";
  g_shim.xOpen = ShimOpen;
  g_shim.xDelete = ShimDelete;
  g_shim.xAccess = ShimAccess;
  g_shim.xFullPathname = ShimFullPathname;
  g_shim.xDlOpen = ShimDlOpen;
  g_shim.xDlError = ShimDlError;
  g_shim.xDlSym = ShimDlSym;
  g_shim.xDlClose = ShimDlClose;
  g_shim.xRandomness = ShimRandomness;
  g_shim.xSleep = ShimSleep;
  g_shim.xCurrentTime = ShimCurrentTime;
  g_shim.xGetLastError = ShimGetLastError;
  g_shim.xCurrentTimeInt64 = ShimCurrentTimeInt64;
  g_shim.xSetSystemCall = ShimSetSystemCall;
  g_shim.xGetSystemCall = ShimGetSystemCall;
  g_shim.xNextSystemCall = ShimNextSystemCall;
  if (sqlite3_vfs_register(&g_shim, 1) != SQLITE_OK) return fail("sqlite3_vfs_register failed");
  g_installed = true;
  return true;
}

// Before main, so before the first use of SQLite by anything in the test process.
const bool g_installedAtStart = DoInstall(nullptr);

}  // namespace

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Malloc:
      return "malloc";
    case FaultKind::Read:
      return "read";
    case FaultKind::Write:
      return "write";
    case FaultKind::Sync:
      return "sync";
  }
  return "?";
}

bool SqliteFaults::Install(const char** why) {
  (void)g_installedAtStart;
  return DoInstall(why);
}

void SqliteFaults::Arm(FaultKind kind, long n, bool persistent) {
  g_armed = false;
  for (auto& c : g_count) c = 0;
  g_failed = 0;
  g_armKind = (int)kind;
  g_armAt = n;
  g_persistent = persistent;
  g_armed = true;
  g_counting = true;
}

void SqliteFaults::Disarm() {
  g_armed = false;
  g_counting = false;
}

void SqliteFaults::Reset() {
  g_armed = false;
  for (auto& c : g_count) c = 0;
  g_failed = 0;
  g_counting = true;
}

long SqliteFaults::Count(FaultKind kind) {
  return g_count[(int)kind].load();
}

bool SqliteFaults::Hit() {
  return g_failed.load() > 0;
}

long SqliteFaults::Failed() {
  return g_failed.load();
}

}  // namespace kp::fault
