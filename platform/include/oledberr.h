// The OLE DB error codes that this platform's providers answer, under their Windows names and
// with the values of the Windows SDK's oledberr.h. They are facility ITF codes: FormatMessage
// has no text for them, the provider's description goes with them.
#pragma once
#include "winerror.h"

#define DB_SEC_E_PERMISSIONDENIED _HRESULT_TYPEDEF_(0x80040E09L)
#define DB_E_NOCOMMAND _HRESULT_TYPEDEF_(0x80040E0CL)
#define DB_E_PARAMNOTOPTIONAL _HRESULT_TYPEDEF_(0x80040E10L)
#define DB_E_ERRORSINCOMMAND _HRESULT_TYPEDEF_(0x80040E14L)
#define DB_E_INTEGRITYVIOLATION _HRESULT_TYPEDEF_(0x80040E2FL)
#define DB_E_NOTABLE _HRESULT_TYPEDEF_(0x80040E37L)
#define DB_SEC_E_AUTH_FAILED _HRESULT_TYPEDEF_(0x80040E4DL)
#define DB_E_CANCELED _HRESULT_TYPEDEF_(0x80040E4EL)
// An initialization (connection) string that cannot be parsed.
#define DB_E_BADINITSTRING _HRESULT_TYPEDEF_(0x80040E73L)
