// Fault injection into SQLite through its own hooks, for tests that run a database session with
// the Nth allocation, read, write or sync failing.
//
// Installed once per process, before SQLite is first used (a global constructor of this
// library does it; Install() is idempotent and shuts SQLite down first if something initialised
// it already, which is safe only while no connection is open):
// - SQLITE_CONFIG_MALLOC gets a wrapper around SQLite's default allocator that counts
//   xMalloc and xRealloc calls and answers NULL for the armed one;
// - a VFS named "kpfault" is registered as the default; it wraps the real "unix" VFS and counts
//   xRead, xWrite and xSync on every file, answering SQLITE_IOERR_READ, SQLITE_IOERR_WRITE or
//   SQLITE_IOERR_FSYNC for the armed one.
// Every connection that names no VFS (all of this project's) goes through the shim, so the
// provider inside the ADO library and a plug-in loaded into the test process are covered.
//
// Counting: Reset() and Arm() set the four counters to zero and start counting; each call of a
// kind adds one to its counter until Disarm(), which stops counting (so that checks run after a
// session, with SQLite, neither fail nor count). Armed at n, the n-th call of that kind fails (n
// counts from 1); in persistent mode every later call of the kind fails too, as when memory or
// the disk stays exhausted. Hit() tells whether an armed fault fired. The state is process-wide
// and atomic; the tests drive SQLite from one thread.
#pragma once

namespace kp::fault {

enum class FaultKind { Malloc = 0, Read = 1, Write = 2, Sync = 3 };

// The name of a kind for test output ("malloc", "read", "write", "sync").
const char* FaultKindName(FaultKind kind);

class SqliteFaults {
 public:
  // Puts the allocator wrapper and the VFS shim in place (once). False, with the reason in
  // *why when given, when SQLite refused either.
  static bool Install(const char** why = nullptr);
  // Zeroes the counters, starts counting and makes the n-th call of kind fail (n >= 1), or that
  // call and every later one of the kind when persistent.
  static void Arm(FaultKind kind, long n, bool persistent);
  // No call fails any more, and counting stops.
  static void Disarm();
  // Disarms, zeroes the counters and starts counting.
  static void Reset();
  // Calls of kind counted since the last Arm or Reset.
  static long Count(FaultKind kind);
  // Whether the armed fault has fired since the last Arm.
  static bool Hit();
  // Calls that were made to fail since the last Arm (1 for a one-shot fault that fired).
  static long Failed();

  // Arms a fault for the life of the object and disarms it at the end of the scope, so that a
  // failed assertion in the middle of a session does not leave later code failing.
  class Armed {
   public:
    Armed(FaultKind kind, long n, bool persistent) { Arm(kind, n, persistent); }
    ~Armed() { Disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
  };
};

}  // namespace kp::fault
