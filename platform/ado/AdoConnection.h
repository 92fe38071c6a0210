// The Connection object (ADODB.Connection): opens a provider session from a connection string
// or a .udl file, runs commands, nests transactions, answers schema queries and keeps the
// Errors collection. Recordsets and commands reach the provider through it, so the fault switch
// (docs/ado.md, "Fault switch") and the mapping of provider errors to Error objects live here.
// It answers _Connection, Connection15 (the same vtable) and ADOConnectionConstruction15
// (ConnectionConstruction.h).
#pragma once
#include <msado15.tlh>

#include <memory>
#include <set>
#include <string>

#include "AdoErrors.h"
#include "AdoObject.h"
#include "ConnectionConstruction.h"
#include "ConnectionEventSource.h"
#include "Provider.h"

namespace kp::ado {

class AdoRecordset;

class AdoConnection final : public AdoObject<_Connection> {
 public:
  AdoConnection();
  ~AdoConnection() override;

  HRESULT __stdcall get_Properties(Properties** pp) override;
  HRESULT __stdcall get_ConnectionString(BSTR* pbstr) override;
  HRESULT __stdcall put_ConnectionString(BSTR v) override;
  HRESULT __stdcall get_CommandTimeout(LONG* p) override;
  HRESULT __stdcall put_CommandTimeout(LONG v) override;
  HRESULT __stdcall get_ConnectionTimeout(LONG* p) override;
  HRESULT __stdcall put_ConnectionTimeout(LONG v) override;
  HRESULT __stdcall get_Version(BSTR* pbstr) override;
  HRESULT __stdcall raw_Close() override;
  HRESULT __stdcall raw_Execute(BSTR text, VARIANT* recordsAffected, LONG options, _Recordset** pp) override;
  HRESULT __stdcall raw_BeginTrans(LONG* level) override;
  HRESULT __stdcall raw_CommitTrans() override;
  HRESULT __stdcall raw_RollbackTrans() override;
  HRESULT __stdcall raw_Open(BSTR cs, BSTR user, BSTR password, LONG options) override;
  HRESULT __stdcall get_Errors(Errors** pp) override;
  HRESULT __stdcall get_DefaultDatabase(BSTR* pbstr) override;
  HRESULT __stdcall put_DefaultDatabase(BSTR v) override;
  HRESULT __stdcall get_IsolationLevel(IsolationLevelEnum* p) override;
  HRESULT __stdcall put_IsolationLevel(IsolationLevelEnum v) override;
  HRESULT __stdcall get_Attributes(LONG* p) override;
  HRESULT __stdcall put_Attributes(LONG v) override;
  HRESULT __stdcall get_CursorLocation(CursorLocationEnum* p) override;
  HRESULT __stdcall put_CursorLocation(CursorLocationEnum v) override;
  HRESULT __stdcall get_Mode(ConnectModeEnum* p) override;
  HRESULT __stdcall put_Mode(ConnectModeEnum v) override;
  HRESULT __stdcall get_Provider(BSTR* pbstr) override;
  HRESULT __stdcall put_Provider(BSTR v) override;
  HRESULT __stdcall get_State(LONG* p) override;
  HRESULT __stdcall raw_OpenSchema(SchemaEnum schema, VARIANT restrictions, VARIANT schemaId,
                                   _Recordset** pp) override;
  HRESULT __stdcall raw_Cancel() override;

  // For recordsets and commands of this connection.
  bool IsOpen() const { return session_ != nullptr; }
  ProviderSession* Session() { return session_.get(); }
  CursorLocationEnum CursorLocation() const { return cursorLocation_; }
  LONG CommandTimeout() const { return commandTimeout_; }
  // Runs SQL on the session with the given timeout; a failure is raised (Errors + IErrorInfo).
  HRESULT Run(std::u16string_view sql, const std::vector<Cell>& params, LONG timeout,
              std::unique_ptr<ProviderCursor>& cursor, LONG& affected);
  // Runs one write that must change `expected` rows at most (the write-back of an edit or a
  // delete) in a transaction of its own, a savepoint within the caller's: when it changes more
  // (a row located by its values that several rows share), or none where `exact`, it is rolled
  // back and `affected` tells the caller what it would have done.
  HRESULT RunWrite(std::u16string_view sql, const std::vector<Cell>& params, LONG timeout, bool exact,
                   LONG& affected);
  // Fills Errors with the provider error, sets the thread's error object, answers err.hr.
  HRESULT RaiseProvider(const ProviderError& err);
  // Counts a fetch or a Move; answers a failure (raised) when the fault switch drops the link.
  HRESULT FaultTick();
  void Attach(AdoRecordset* rs) { recordsets_.insert(rs); }
  void Detach(AdoRecordset* rs) { recordsets_.erase(rs); }
  // The end of an Execute (the connection's or a command's) that opened rs: the count of
  // affected records into *recordsAffected when asked for, and rs to *pp, or released when
  // options say adExecuteNoRecords or no recordset is wanted.
  static HRESULT HandOut(AdoRecordset* rs, LONG affected, LONG options, VARIANT* recordsAffected,
                         _Recordset** pp);
  // The connection's events; null until a client asks for IConnectionPointContainer.
  ConnectionEventSource* Events() const { return events_.get(); }

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_ADO) || riid == __uuidof(Connection15); }
  void* Part(REFIID riid) override;

 private:
  // CommitTrans or RollbackTrans: ends the innermost transaction; a retaining attribute starts a
  // new one when the outermost ends.
  HRESULT EndTransaction(bool commit);
  HRESULT OpenSession(BSTR cs, BSTR user, BSTR password, LONG options);
  HRESULT ExecuteText(std::u16string_view text, LONG options, LONG& affected, AdoRecordset*& rs);
  std::unique_ptr<ProviderSession> session_;
  AdoErrors* errors_;
  std::u16string connectionString_;
  std::u16string provider_ = u"MSDASQL";
  LONG commandTimeout_ = 30;
  LONG connectionTimeout_ = 15;
  ConnectModeEnum mode_ = adModeUnknown;
  CursorLocationEnum cursorLocation_ = adUseServer;
  IsolationLevelEnum isolation_ = adXactCursorStability;
  LONG attributes_ = 0;
  int transLevel_ = 0;
  std::set<AdoRecordset*> recordsets_;
  // Fault switch state.
  long faultAt_ = 0;
  long faultCount_ = 0;
  unsigned faultGeneration_ = 0;
  bool linkDown_ = false;
  ConnectionConstruction construction_{this};
  std::unique_ptr<ConnectionEventSource> events_;
};

}  // namespace kp::ado
