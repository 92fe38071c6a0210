// OLE controls' header, as far as this platform has it: the connectable-object interfaces
// (<ocidl.h>) and the errors of IConnectionPoint and IConnectionPointContainer, with Windows'
// values (FACILITY_ITF codes from 0x80040200).
#pragma once
#include "ocidl.h"

#define CONNECT_E_FIRST ((HRESULT)0x80040200L)
#define CONNECT_E_LAST ((HRESULT)0x8004020FL)
#define CONNECT_S_FIRST ((HRESULT)0x00040200L)
#define CONNECT_S_LAST ((HRESULT)0x0004020FL)
// No connection for the cookie (Unadvise), no point for the interface (FindConnectionPoint).
#define CONNECT_E_NOCONNECTION (CONNECT_E_FIRST + 0)
// The point takes no more sinks.
#define CONNECT_E_ADVISELIMIT (CONNECT_E_FIRST + 1)
// The sink does not answer the interface the point calls.
#define CONNECT_E_CANNOTCONNECT (CONNECT_E_FIRST + 2)
// Called through an overridden (aggregated) point.
#define CONNECT_E_OVERRIDDEN (CONNECT_E_FIRST + 3)
