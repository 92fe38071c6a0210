// CADORecordset (see ADORecordset.h): opening, persistence, navigation, finding, editing and the
// state operations. Field access is in ADORecordsetFields.cpp, chunks in ADORecordsetChunks.cpp
// and the conversion rules, shared with CADOParameter, in ADOConversion.cpp.
#include "ADORecordset.h"

#include "ADOCommand.h"
#include "ADODataBase.h"
#include "ADOException.h"
#include "ADOGuard.h"

namespace {
using ado2::kServerContext;

// Takes a new reference to what an ADO call answered (the smart pointer adds one, the
// temporary gives its own back).
template <class Ptr>
void Adopt(Ptr& target, const Ptr& result) {
  target = result;
}
}  // namespace

CADORecordset::CADORecordset(CADODataBase* pAdoDatabase)
    : m_nSearchDirection(searchForward), m_nEditStatus(dbEditNone), m_dwLastError(0) {
  m_pRecordset.CreateInstance(__uuidof(Recordset), nullptr, kServerContext);
  m_pCmd.CreateInstance(__uuidof(Command), nullptr, kServerContext);
  if (pAdoDatabase != nullptr) Adopt(m_pConnection, pAdoDatabase->GetActiveConnection());
}

CADORecordset::~CADORecordset() {
  ado2::Guarded(ADO2_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), [&] { Close(); });
  if (m_pRecordset != nullptr) m_pRecordset.Release();
  if (m_pCmd != nullptr) m_pCmd.Release();
  m_pRecordset = nullptr;
  m_pCmd = nullptr;
  m_strLastError = "";
  m_strQuery = "";
  m_dwLastError = 0;
  m_nEditStatus = dbEditNone;
  m_varBookFind.Clear();
  m_varBookmark.Clear();
}

void CADORecordset::dump_com_error(_com_error& e) {
  CString report = ado2::FormatComErrorReport("CADORecordset", e);
  m_strLastError = "Query = " + GetQuery() + "\n" + report;
  m_dwLastError = static_cast<DWORD>(e.Error());
  ado2::ShowComErrorReport(report);
}

BOOL CADORecordset::Open(LPCTSTR lpstrExec, int nOption) {
  ASSERT(m_pConnection != nullptr);
  ASSERT(m_pConnection != nullptr && m_pConnection->GetState() != adStateClosed);
  return Open(m_pConnection, lpstrExec, nOption);
}

BOOL CADORecordset::Open(_ConnectionPtr mpdb, LPCTSTR lpstrExec, int nOption) {
  Close();  // before the error guard: a failure here reaches the caller, as from Close itself
  if (lpstrExec != nullptr && lpstrExec[0] != '\0') m_strQuery = lpstrExec;
  ASSERT(!m_strQuery.IsEmpty());
  if (m_pConnection == nullptr) m_pConnection = mpdb;
  m_strQuery.TrimLeft();
  // A text starting with "select " counts as a query; only option 0 can be changed by it, and
  // option 0 is opened as a query already.
  bool isSelect = m_strQuery.Left(7).CompareNoCase("select ") == 0 && nOption == openUnknown;
  return ado2::Guarded(Report(), FALSE, [&]() -> BOOL {
    // The cursor is set up first, for every option: an unknown option leaves the recordset
    // closed with a static client cursor, and ADO's Open is not called.
    m_pRecordset->PutCursorType(adOpenStatic);
    m_pRecordset->PutCursorLocation(adUseClient);
    if (!isSelect && nOption != openUnknown && nOption != openQuery && nOption != openTable &&
        nOption != openStoredProc) {
      TRACE("Unknown parameter. %d", nOption);
      return FALSE;
    }
    _variant_t connection(static_cast<IDispatch*>(mpdb.GetInterfacePtr()), true);
    if (isSelect || nOption == openUnknown || nOption == openQuery) {
      m_pRecordset->Open(_variant_t((LPCTSTR)m_strQuery), connection, adOpenStatic, adLockOptimistic,
                         adCmdUnknown);
    } else if (nOption == openTable) {
      m_pRecordset->Open(_variant_t((LPCTSTR)m_strQuery), connection, adOpenKeyset, adLockOptimistic,
                         adCmdTable);
    } else {
      m_pCmd->PutRefActiveConnection(mpdb);
      m_pCmd->PutCommandText(_bstr_t((LPCTSTR)m_strQuery));
      m_pCmd->PutCommandType(adCmdStoredProc);
      mpdb->PutCursorLocation(adUseClient);
      // The options repeat the command's own type, so they never disagree with CommandType.
      Adopt(m_pRecordset, m_pCmd->Execute(nullptr, nullptr, adCmdStoredProc));
    }
    return m_pRecordset != nullptr;
  });
}

BOOL CADORecordset::IsOpen() {
  if (m_pRecordset != nullptr && m_pConnection != nullptr && m_pConnection->GetState() != adStateClosed) {
    return m_pRecordset->GetState() != adStateClosed;
  }
  return FALSE;
}

void CADORecordset::Close() {
  if (IsOpen()) {
    if (m_nEditStatus != dbEditNone) CancelUpdate();
    m_pRecordset->PutSort(_bstr_t(""));
    m_pRecordset->Close();
  }
}

BOOL CADORecordset::Requery() {
  if (!IsOpen()) return FALSE;
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->Requery(adOptionUnspecified);
    return TRUE;
  });
}

BOOL CADORecordset::OpenSchema(long nSchema, LPCTSTR lpszRestriction) {
  return ado2::Guarded(Report(), FALSE, [&] {
    _variant_t restriction = vtMissing;
    if (lpszRestriction != nullptr && lpszRestriction[0] != '\0') restriction = _variant_t(lpszRestriction);
    Adopt(m_pRecordset, m_pConnection->OpenSchema(static_cast<SchemaEnum>(nSchema), restriction, vtMissing));
    return m_pRecordset != nullptr;
  });
}

BOOL CADORecordset::Clone(CADORecordset& pRs) {
  return ado2::Guarded(Report(), FALSE, [&] {
    Adopt(pRs.m_pRecordset, m_pRecordset->Clone(adLockUnspecified));
    return TRUE;
  });
}

BOOL CADORecordset::Save(LPCTSTR lpstrXMLFile) {
  ASSERT(IsOpen());
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->Save(_variant_t(lpstrXMLFile), adPersistXML);
    return TRUE;
  });
}

BOOL CADORecordset::OpenFromFile(LPCTSTR lpstrXMLFile) {
  return ado2::Guarded(Report(), FALSE, [&] {
    if (IsOpen()) Close();
    m_pRecordset->Open(_variant_t(lpstrXMLFile), _variant_t("Provider=MSPersist;"), adOpenForwardOnly,
                       adLockOptimistic, adCmdFile);
    return TRUE;
  });
}

BOOL CADORecordset::Load(LPCTSTR lpstrXMLFile) {
  return ado2::Guarded(ADO2_AT("Warning: Load 发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), FALSE, [&] {
    if (IsOpen()) Close();
    HRESULT hr = m_pRecordset->raw_Open(_variant_t(lpstrXMLFile), _variant_t("Provider=MSPersist;"),
                                        adOpenForwardOnly, adLockOptimistic, adCmdFile);
    if (FAILED(hr)) _com_issue_errorex(hr, m_pRecordset.GetInterfacePtr(), __uuidof(_Recordset));
    return hr == S_OK;
  });
}

BOOL CADORecordset::Execute(CADOCommand* pCommand) {
  return ado2::Guarded(Report(), FALSE, [&] {
    if (IsOpen()) Close();
    ASSERT(!pCommand->GetText().IsEmpty());
    m_pConnection->PutCursorLocation(adUseClient);
    Adopt(m_pRecordset, pCommand->GetCommand()->Execute(nullptr, nullptr, pCommand->GetType()));
    return TRUE;
  });
}

void CADORecordset::MoveFirst() {
  m_pRecordset->MoveFirst();
}
void CADORecordset::MoveNext() {
  m_pRecordset->MoveNext();
}
void CADORecordset::MovePrevious() {
  m_pRecordset->MovePrevious();
}
void CADORecordset::MoveLast() {
  m_pRecordset->MoveLast();
}
BOOL CADORecordset::IsEOF() {
  return m_pRecordset->GetadoEOF() == VARIANT_TRUE;
}
BOOL CADORecordset::IsBOF() {
  return m_pRecordset->GetBOF() == VARIANT_TRUE;
}

DWORD CADORecordset::GetRecordCount() {
  LONG count = m_pRecordset->GetRecordCount();
  if (count != -1) return static_cast<DWORD>(count);
  DWORD walked = 0;
  if (!IsEOF()) m_pRecordset->MoveFirst();
  while (!IsEOF()) {
    ++walked;
    m_pRecordset->MoveNext();
  }
  if (walked > 0) m_pRecordset->MoveFirst();
  return walked;
}

void CADORecordset::GetBookmark() {
  m_varBookmark = m_pRecordset->GetBookmark();
}

BOOL CADORecordset::SetBookmark() {
  if (m_varBookmark.vt == VT_EMPTY) return FALSE;
  m_pRecordset->PutBookmark(m_varBookmark);
  return TRUE;
}

BOOL CADORecordset::SetFilter(LPCTSTR strFilter) {
  ASSERT(IsOpen());
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->PutFilter(_variant_t(strFilter));
    return TRUE;
  });
}

BOOL CADORecordset::SetSort(LPCTSTR lpstrCriteria) {
  ASSERT(IsOpen());
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->PutSort(_bstr_t(lpstrCriteria));
    return TRUE;
  });
}

CString CADORecordset::GetString(LPCTSTR lpCols, LPCTSTR lpRows, LPCTSTR lpNull, long numRows) {
  (void)lpNull;  // null fields always render as empty text
  long rows = numRows == 0 ? static_cast<long>(GetRecordCount()) : numRows;
  CString columns = (lpCols == nullptr || lpCols[0] == '\0') ? "\t" : lpCols;
  CString lines = (lpRows == nullptr || lpRows[0] == '\0') ? "\r" : lpRows;
  return ado2::BstrText(m_pRecordset->GetString(adClipString, static_cast<LONG>(rows),
                                                _bstr_t((LPCTSTR)columns), _bstr_t((LPCTSTR)lines),
                                                _bstr_t("")));
}

BOOL CADORecordset::AddNew() {
  m_nEditStatus = dbEditNone;
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->AddNew(vtMissing, vtMissing);
    m_nEditStatus = dbEditNew;
    return TRUE;
  });
}

BOOL CADORecordset::Update() {
  BOOL result = TRUE;
  // Field writes on an existing row leave ADO editing without AddNew: they count as an edit.
  if (m_nEditStatus == dbEditNone && GetEditMode() != adEditNone) m_nEditStatus = dbEdit;
  if (m_nEditStatus != dbEditNone) {
    result = ado2::Guarded(Report(), FALSE, [&] {
      HRESULT hr = m_pRecordset->raw_Update(vtMissing, vtMissing);
      if (FAILED(hr)) _com_issue_errorex(hr, m_pRecordset.GetInterfacePtr(), __uuidof(_Recordset));
      return hr == S_OK;
    });
    if (!result) ado2::Guarded(ADO2_SHORT("CancelBatch"), [&] { m_pRecordset->CancelUpdate(); });
    m_nEditStatus = dbEditNone;
  }
  return result;
}

void CADORecordset::CancelUpdate() {
  m_pRecordset->CancelUpdate();
  m_nEditStatus = dbEditNone;
}

BOOL CADORecordset::Delete() {
  auto report = [&](_com_error& e) {
    m_nEditStatus = dbEditNone;
    dump_com_error(e);
  };
  return ado2::Guarded(report, FALSE, [&] {
    m_pRecordset->Delete(adAffectCurrent);
    m_pRecordset->Update(vtMissing, vtMissing);
    m_nEditStatus = dbEditNone;
    return TRUE;
  });
}

BOOL CADORecordset::Find(LPCTSTR lpFind, int nSearchDirection) {
  m_strFind = lpFind;
  m_nSearchDirection = nSearchDirection;
  ASSERT(!m_strFind.IsEmpty());
  if (m_nSearchDirection == searchForward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, adSearchForward, _variant_t(""));
    if (!IsEOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else if (m_nSearchDirection == searchBackward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, adSearchBackward, _variant_t(""));
    if (!IsBOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else {
    TRACE("Unknown parameter. %d", nSearchDirection);
    m_nSearchDirection = searchForward;
  }
  return FALSE;
}

BOOL CADORecordset::FindFirst(LPCTSTR lpFind) {
  m_pRecordset->MoveFirst();
  return Find(lpFind, searchForward);
}

BOOL CADORecordset::FindNext() {
  if (m_nSearchDirection == searchForward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 1, adSearchForward, m_varBookFind);
    if (!IsEOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 1, adSearchBackward, m_varBookFind);
    if (!IsBOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CADORecordset::FindGuarded(LPCTSTR lpFind, int nSearchDirection) {
  if (nSearchDirection != searchForward && nSearchDirection != searchBackward) {
    TRACE("Unknown parameter. %d", nSearchDirection);
    return FALSE;
  }
  return ado2::Guarded(ADO2_METHOD("Find"), FALSE, [&] {
    if (lpFind != nullptr && lpFind[0] != '\0') m_strFind = lpFind;
    ASSERT(!m_strFind.IsEmpty());
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, static_cast<SearchDirectionEnum>(nSearchDirection),
                       _variant_t(""));
    if (!IsEOF() && !IsBOF()) {
      m_nSearchDirection = nSearchDirection;
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
    return FALSE;
  });
}

long CADORecordset::GetState() {
  return ado2::Guarded(ADO2_SHORT("GetState"), 0L, [&] { return m_pRecordset->GetState(); });
}

long CADORecordset::GetStatus() {
  return ado2::Guarded(ADO2_SHORT("GetStatus"), 0L, [&] { return m_pRecordset->GetStatus(); });
}

long CADORecordset::GetEditMode() {
  return ado2::Guarded(ADO2_SHORT("GetStatus"), 0L,
                       [&] { return static_cast<long>(m_pRecordset->GetEditMode()); });
}

long CADORecordset::GetCursorType() {
  return ado2::Guarded(ADO2_METHOD("GetCursorType"), -1L,
                       [&] { return static_cast<long>(m_pRecordset->GetCursorType()); });
}

long CADORecordset::GetCursorLocation() {
  return ado2::Guarded(ADO2_METHOD("GetCursorLocation"), long(adUseNone),
                       [&] { return static_cast<long>(m_pRecordset->GetCursorLocation()); });
}

BOOL CADORecordset::SetCacheSize(long lCacheSize) {
  if ((GetState() & adStateExecuting) != 0) return FALSE;
  return ado2::Guarded(ADO2_SHORT("SetCacheSize方法"), FALSE, [&] {
    m_pRecordset->PutCacheSize(static_cast<LONG>(lCacheSize));
    return TRUE;
  });
}

BOOL CADORecordset::Supports(long lOption) {
  return ado2::Guarded(ADO2_SHORT("Supports方法"), FALSE, [&] {
    return m_pRecordset->Supports(static_cast<CursorOptionEnum>(lOption)) != VARIANT_FALSE;
  });
}

BOOL CADORecordset::Cancel() {
  return ado2::Guarded(ADO2_SHORT("Cancel"), FALSE, [&] { return SUCCEEDED(m_pRecordset->Cancel()); });
}

BOOL CADORecordset::CancelBatch(long lAffect) {
  return ado2::Guarded(ADO2_SHORT("CancelBatch"), FALSE, [&] {
    return SUCCEEDED(m_pRecordset->CancelBatch(static_cast<AffectEnum>(lAffect)));
  });
}

BOOL CADORecordset::DeleteGuarded(long lAffect) {
  return ado2::Guarded(ADO2_SHORT("Delete"), FALSE,
                       [&] { return SUCCEEDED(m_pRecordset->Delete(static_cast<AffectEnum>(lAffect))); });
}

BOOL CADORecordset::PutCursorLocation(long lLocation) {
  return ado2::Guarded(ADO2_METHOD("PutCursorLocation"), FALSE, [&] {
    m_pRecordset->PutCursorLocation(static_cast<CursorLocationEnum>(lLocation));
    return TRUE;
  });
}

BOOL CADORecordset::Release() {
  return ado2::Guarded(ADO2_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), FALSE, [&] {
    Close();
    if (m_pRecordset != nullptr) m_pRecordset.Release();
    m_pRecordset = nullptr;
    return TRUE;
  });
}
