// The ODBC API (<sql.h>, <sqlext.h> of unixODBC) for files that also see this platform's
// Windows headers. unixODBC declares its own Windows types (WCHAR, ULONG, HWND ...) unless told
// that they exist already; here they do, so WCHAR, and with it SQLWCHAR, is the platform's
// 16-bit UTF-16 unit (char16_t), the same size and meaning the driver manager uses. The few ODBC
// 2 names the platform does not declare get unixODBC's own definitions (LP64: SDWORD is int).
#pragma once
#include "windef.h"

#ifndef ALREADY_HAVE_WINDOWS_TYPE
#define ALREADY_HAVE_WINDOWS_TYPE 1
#endif
#ifndef SQL_API
#define SQL_API
#endif

typedef signed char SCHAR;
typedef SCHAR SQLSCHAR;
typedef int SDWORD;
typedef unsigned int UDWORD;
typedef signed short int SWORD;
typedef unsigned short int UWORD;
typedef signed long SLONG;
typedef signed short SSHORT;
typedef double SDOUBLE;
typedef double LDOUBLE;
typedef float SFLOAT;
typedef void* PTR;
typedef signed short RETCODE;
typedef void* SQLHWND;

#include <sql.h>
#include <sqlext.h>

static_assert(sizeof(SQLWCHAR) == 2, "unixODBC's SQLWCHAR is a 16-bit unit");
