// Build-wide switches of the platform libraries: symbol visibility and the calling-convention
// macros. Every library is built with -fvisibility=hidden; what it exports carries KPAPI. The
// calling-convention keywords of 32-bit Windows mean nothing on LP64 Linux and expand to nothing.
#pragma once

#define KPAPI __attribute__((visibility("default")))
#define KPHIDDEN __attribute__((visibility("hidden")))

#if !defined(_WIN32)
#ifndef __stdcall
#define __stdcall
#endif
#ifndef __cdecl
#define __cdecl
#endif
#endif
