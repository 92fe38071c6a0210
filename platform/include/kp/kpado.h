// Platform extensions of the ADO library (kpado) that Windows ADO does not have.
//
// KpAdoSetFault(n): the fault switch for tests. From the call on, the n-th fetch or Move of
// every open connection (counted per connection, from this call) fails as a dropped link does:
// E_FAIL with an Errors entry of SQLSTATE 08S01 "Communication link failure"; later fetches and
// Moves on that connection fail the same way until it is closed and opened again. n <= 0 turns
// the switch off. The environment variable KP_ADO_FAULT_MOVE=n, read at Connection.Open, arms it
// for that connection. Off by default.
#pragma once
#include "kp/kpplatform.h"

extern "C" KPAPI void KpAdoSetFault(int n);
