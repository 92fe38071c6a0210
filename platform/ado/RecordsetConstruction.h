// ADORecordsetConstruction of a Recordset: how OLE DB code hands ADO a rowset and reads it back.
// There is no OLE DB here, so the recordset stands in for its own rowset:
// - Rowset (get): the recordset's own IUnknown while it is open (it answers no OLE DB interface:
//   QueryInterface for IRowset is E_NOINTERFACE), null while it is closed.
// - Rowset (put): takes what get gave, from this or another recordset of this library: an open
//   client-cursor recordset, which this (closed) recordset then opens as a clone of (the same
//   rows, a cursor of its own). A server cursor has no rows to share (adErrFeatureNotAvailable),
//   a closed recordset none either (adErrObjectClosed), anything else is E_NOINTERFACE; this
//   recordset open is adErrObjectOpen, null adErrInvalidArgument.
// - Chapter: 0 (no hierarchical recordsets); writing 0 is accepted, anything else is a gap.
// - RowPosition: null (no row-position object); writing null is accepted, anything else a gap.
#pragma once
#include <msado15.tlh>

#include "AdoObject.h"

namespace kp::ado {

class AdoRecordset;

class RecordsetConstruction final : public AdoDispatchPart<ADORecordsetConstruction, AdoRecordset> {
 public:
  using AdoDispatchPart::AdoDispatchPart;
  HRESULT __stdcall get_Rowset(IUnknown** pp) override;
  HRESULT __stdcall put_Rowset(IUnknown* p) override;
  HRESULT __stdcall get_Chapter(LONG_PTR* p) override;
  HRESULT __stdcall put_Chapter(LONG_PTR v) override;
  HRESULT __stdcall get_RowPosition(IUnknown** pp) override;
  HRESULT __stdcall put_RowPosition(IUnknown* p) override;
};

}  // namespace kp::ado
