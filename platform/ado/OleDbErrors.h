// The OLE DB error HRESULTs that the providers answer (values from the OLE DB headers). They
// carry no system message text (facility ITF); the provider's description goes with them.
#pragma once
#include "winerror.h"

namespace kp::ado {

constexpr HRESULT DB_SEC_E_PERMISSIONDENIED = (HRESULT)0x80040E09;
constexpr HRESULT DB_E_NOCOMMAND = (HRESULT)0x80040E0C;
constexpr HRESULT DB_E_PARAMNOTOPTIONAL = (HRESULT)0x80040E10;
constexpr HRESULT DB_E_ERRORSINCOMMAND = (HRESULT)0x80040E14;
constexpr HRESULT DB_E_INTEGRITYVIOLATION = (HRESULT)0x80040E2F;
constexpr HRESULT DB_E_NOTABLE = (HRESULT)0x80040E37;
constexpr HRESULT DB_SEC_E_AUTH_FAILED = (HRESULT)0x80040E4D;
constexpr HRESULT DB_E_CANCELED = (HRESULT)0x80040E4E;

}  // namespace kp::ado
