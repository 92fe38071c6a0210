// The Recordset object (ADODB.Recordset).
//
// Two cursors stand behind it, one class each behind the RecordCursor interface:
// - adUseServer (ADO's default, and what Connection.Execute gives with the connection's default
//   location): ServerCursor, forward-only and read-only over the provider's live cursor;
//   RecordCount is -1, MoveFirst runs the query again, MovePrevious/MoveLast/backward moves and
//   bookmarks answer adErrFeatureNotAvailable. Only the current row is held (one 16-byte cell
//   per column).
// - adUseClient: ClientView, ADO's client-side static cursor. Every row is materialised once
//   into a RowSet (shared with clones); navigation, Bookmark, Filter, Sort, Find and Clone work
//   on a view (an order of row indices) over it. With a lock type other than adLockReadOnly and
//   one base table, AddNew/field writes/Update/Delete generate INSERT/UPDATE/DELETE (WriteBack,
//   WriteStatement) keyed by the table's primary key when the result holds it, else by the rowid
//   (fetched as a hidden column), else by all original values; they run on the connection,
//   inside its transaction when one is open. A failed write leaves the database, the row set and
//   the pending edit as they were.
// Recordsets reopened from a persisted XML file have no connection: their edits stay local, as
// do those of a fabricated recordset (fields appended before an Open without source or
// connection, FabricatedFields.h).
// This class keeps the COM surface: the properties, opening and closing, the checks every
// method makes, the pending edit's life and the chunk sequences of Field.GetChunk/AppendChunk.
#pragma once
#include <msado15.tlh>

#include <memory>
#include <string>
#include <vector>

#include "AdoObject.h"
#include "ChunkSequence.h"
#include "FabricatedFields.h"
#include "Provider.h"
#include "RecordCursor.h"
#include "RecordsetConstruction.h"
#include "RecordsetEventSource.h"
#include "RowSet.h"
#include "WriteBack.h"

namespace kp::ado {

class AdoConnection;
class AdoFields;
class AdoStream;

class AdoRecordset final : public AdoObject<_Recordset> {
 public:
  AdoRecordset();
  ~AdoRecordset() override;

  // Runs sql on conn and answers a new recordset for it (open when the statement returned
  // columns, closed otherwise). declTypes, when given, types the result columns.
  static HRESULT Run(AdoConnection* conn, std::u16string_view sql, const std::vector<Cell>& params,
                     LONG cmdType, CursorLocationEnum location, CursorTypeEnum cursorType,
                     LockTypeEnum lockType, LONG timeout, const std::vector<std::u16string>* declTypes,
                     LONG& affected, AdoRecordset*& out);
  // A read-only client recordset over the rows of a ready cursor (schema rowsets of providers
  // that answer from catalog functions). Requery is not available on it.
  static HRESULT FromCursor(AdoConnection* conn, std::unique_ptr<ProviderCursor> cursor, AdoRecordset*& out);
  // Sets this (closed) recordset up for sql on conn and runs it (Run and Open use it).
  HRESULT Prepare(AdoConnection* conn, std::u16string_view sql, const std::vector<Cell>& params, LONG cmdType,
                  LONG timeout, const std::vector<std::u16string>* declTypes, LONG& affected);
  // The connection is closing: close without touching it.
  void CloseForConnection();
  void SetActiveCommand(IDispatch* command);

  // Field access for Fields and Field. f is the field ordinal (hidden columns excluded); while
  // the recordset is closed the fields are those appended to it (FabricatedFields).
  bool IsOpen() const { return open_; }
  int FieldCount() const { return cursor_ ? (int)fieldMap_.size() : fabricated_.Count(); }
  int FieldIndex(std::u16string_view name) const;
  const ColumnInfo& FieldColumn(int f) const {
    return cursor_ ? cursor_->FieldColumn(f) : fabricated_.Column(f);
  }
  // The appended fields, for Fields.Append and Delete: null once the recordset is open or has an
  // ActiveConnection (Fields answers adErrIllegalOperation).
  FabricatedFields* DefinableFields();
  // The appended fields while the recordset is closed (Field.Type ... may be written), else null.
  FabricatedFields* ClosedFields() { return cursor_ ? nullptr : &fabricated_; }
  // ADORecordsetConstruction (RecordsetConstruction.h): this recordset as its own rowset, and
  // opening this one as a clone of the recordset another one's Rowset gave.
  HRESULT SharedRowset(IUnknown** out);
  HRESULT AdoptRowset(IUnknown* rowset);
  HRESULT GetFieldValue(int f, VARIANT* out);
  HRESULT PutFieldValue(int f, const VARIANT& value);
  HRESULT FieldActualSize(int f, LONG* out);
  HRESULT FieldOriginalValue(int f, VARIANT* out);
  HRESULT FieldGetChunk(int f, LONG length, VARIANT* out);
  HRESULT FieldAppendChunk(int f, const VARIANT& data);
  HRESULT FieldStatus(int f, LONG* out);
  // Memory held for materialised rows (benchmark figure); 0 for server cursors.
  size_t RowBytes() const;

  // _ADO
  HRESULT __stdcall get_Properties(Properties** pp) override;
  // Recordset15
  HRESULT __stdcall get_AbsolutePosition(PositionEnum* pl) override;
  HRESULT __stdcall put_AbsolutePosition(PositionEnum pl) override;
  HRESULT __stdcall putref_ActiveConnection(IDispatch* v) override;
  HRESULT __stdcall put_ActiveConnection(VARIANT v) override;
  HRESULT __stdcall get_ActiveConnection(VARIANT* pv) override;
  HRESULT __stdcall get_BOF(VARIANT_BOOL* pb) override;
  HRESULT __stdcall get_Bookmark(VARIANT* pv) override;
  HRESULT __stdcall put_Bookmark(VARIANT v) override;
  HRESULT __stdcall get_CacheSize(LONG* pl) override;
  HRESULT __stdcall put_CacheSize(LONG pl) override;
  HRESULT __stdcall get_CursorType(CursorTypeEnum* p) override;
  HRESULT __stdcall put_CursorType(CursorTypeEnum v) override;
  HRESULT __stdcall get_adoEOF(VARIANT_BOOL* pb) override;
  HRESULT __stdcall get_Fields(Fields** pp) override;
  HRESULT __stdcall get_LockType(LockTypeEnum* p) override;
  HRESULT __stdcall put_LockType(LockTypeEnum v) override;
  HRESULT __stdcall get_MaxRecords(LONG* p) override;
  HRESULT __stdcall put_MaxRecords(LONG v) override;
  HRESULT __stdcall get_RecordCount(LONG* p) override;
  HRESULT __stdcall putref_Source(IDispatch* v) override;
  HRESULT __stdcall put_Source(BSTR v) override;
  HRESULT __stdcall get_Source(VARIANT* pv) override;
  HRESULT __stdcall raw_AddNew(VARIANT fieldList, VARIANT values) override;
  HRESULT __stdcall raw_CancelUpdate() override;
  HRESULT __stdcall raw_Close() override;
  HRESULT __stdcall raw_Delete(AffectEnum affect) override;
  HRESULT __stdcall raw_GetRows(LONG rows, VARIANT start, VARIANT fields, VARIANT* pv) override;
  HRESULT __stdcall raw_Move(LONG n, VARIANT start) override;
  HRESULT __stdcall raw_MoveNext() override;
  HRESULT __stdcall raw_MovePrevious() override;
  HRESULT __stdcall raw_MoveFirst() override;
  HRESULT __stdcall raw_MoveLast() override;
  HRESULT __stdcall raw_Open(VARIANT source, VARIANT connection, CursorTypeEnum cursorType,
                             LockTypeEnum lockType, LONG options) override;
  HRESULT __stdcall raw_Requery(LONG options) override;
  HRESULT __stdcall raw__xResync(AffectEnum affect) override;
  HRESULT __stdcall raw_Update(VARIANT fields, VARIANT values) override;
  HRESULT __stdcall get_AbsolutePage(PositionEnum* p) override;
  HRESULT __stdcall put_AbsolutePage(PositionEnum v) override;
  HRESULT __stdcall get_EditMode(EditModeEnum* p) override;
  HRESULT __stdcall get_Filter(VARIANT* pv) override;
  HRESULT __stdcall put_Filter(VARIANT v) override;
  HRESULT __stdcall get_PageCount(LONG* p) override;
  HRESULT __stdcall get_PageSize(LONG* p) override;
  HRESULT __stdcall put_PageSize(LONG v) override;
  HRESULT __stdcall get_Sort(BSTR* p) override;
  HRESULT __stdcall put_Sort(BSTR v) override;
  HRESULT __stdcall get_Status(LONG* p) override;
  HRESULT __stdcall get_State(LONG* p) override;
  HRESULT __stdcall raw__xClone(_Recordset** pp) override;
  HRESULT __stdcall raw_UpdateBatch(AffectEnum affect) override;
  HRESULT __stdcall raw_CancelBatch(AffectEnum affect) override;
  HRESULT __stdcall get_CursorLocation(CursorLocationEnum* p) override;
  HRESULT __stdcall put_CursorLocation(CursorLocationEnum v) override;
  HRESULT __stdcall raw_NextRecordset(VARIANT* recordsAffected, _Recordset** pp) override;
  HRESULT __stdcall raw_Supports(CursorOptionEnum options, VARIANT_BOOL* pb) override;
  HRESULT __stdcall get_Collect(VARIANT index, VARIANT* pv) override;
  HRESULT __stdcall put_Collect(VARIANT index, VARIANT v) override;
  HRESULT __stdcall get_MarshalOptions(MarshalOptionsEnum* p) override;
  HRESULT __stdcall put_MarshalOptions(MarshalOptionsEnum v) override;
  HRESULT __stdcall raw_Find(BSTR criteria, LONG skip, SearchDirectionEnum direction, VARIANT start) override;
  // Recordset20
  HRESULT __stdcall raw_Cancel() override;
  HRESULT __stdcall get_DataSource(IUnknown** pp) override;
  HRESULT __stdcall putref_DataSource(IUnknown* p) override;
  HRESULT __stdcall raw__xSave(BSTR fileName, PersistFormatEnum format) override;
  HRESULT __stdcall get_ActiveCommand(IDispatch** pp) override;
  HRESULT __stdcall put_StayInSync(VARIANT_BOOL v) override;
  HRESULT __stdcall get_StayInSync(VARIANT_BOOL* p) override;
  HRESULT __stdcall raw_GetString(StringFormatEnum format, LONG numRows, BSTR columnDelimiter,
                                  BSTR rowDelimiter, BSTR nullExpr, BSTR* pp) override;
  HRESULT __stdcall get_DataMember(BSTR* p) override;
  HRESULT __stdcall put_DataMember(BSTR v) override;
  HRESULT __stdcall raw_CompareBookmarks(VARIANT b1, VARIANT b2, CompareEnum* p) override;
  HRESULT __stdcall raw_Clone(LockTypeEnum lockType, _Recordset** pp) override;
  HRESULT __stdcall raw_Resync(AffectEnum affect, ResyncEnum resync) override;
  // Recordset21
  HRESULT __stdcall raw_Seek(VARIANT keyValues, SeekEnum option) override;
  HRESULT __stdcall put_Index(BSTR v) override;
  HRESULT __stdcall get_Index(BSTR* p) override;
  // _Recordset
  HRESULT __stdcall raw_Save(VARIANT destination, PersistFormatEnum format) override;

 protected:
  bool IsBase(REFIID riid) override {
    return riid == __uuidof(_ADO) || riid == __uuidof(Recordset15) || riid == __uuidof(Recordset20) ||
           riid == __uuidof(Recordset21);
  }
  void* Part(REFIID riid) override;

 private:
  bool client() const { return location_ == adUseClient; }
  // The cells Field.Value reads: the pending edit's, else the current row's; null when none.
  const Cell* CurrentCells() const;
  HRESULT Fail(int number) const;
  HRESULT CheckOpen() const;
  HRESULT CheckCurrent() const;
  HRESULT CheckWritable(int f) const;
  int ResolveField(const VARIANT& index) const;
  HRESULT OpenCursor(std::unique_ptr<ProviderCursor> cursor, const std::vector<std::u16string>* declTypes);
  HRESULT Execute(LONG* affected);  // runs sql_/params_ and opens the result
  HRESULT RunAgain();               // Requery's work: closes and runs sql_/params_ again
  // The field map of the new cursor_: its columns that are not hidden.
  void MapFields();
  // sameFields: the fields are those the closed recordset had (appended ones), so its Field
  // objects stay valid.
  void FinishOpen(bool sameFields = false);
  HRESULT LoadFile(const std::u16string& path, AdoStream* stream = nullptr);
  // Opens a client view over rows that no statement produced (a file's, the appended fields').
  void OpenRows(std::shared_ptr<RowSet> rows, bool sameFields);
  // Sets the closed recordset c up as a clone of this open client-cursor one.
  void CloneInto(AdoRecordset* c, LockTypeEnum lockType);
  // Rebuilds the client view from filter_ and sort_.
  HRESULT ApplyView();
  HRESULT BeforeMove();
  HRESULT WriteEdit();
  void ClearEdit();
  void Detach();

  AdoConnection* conn_ = nullptr;
  bool open_ = false;
  CursorLocationEnum location_ = adUseServer;
  CursorTypeEnum cursorType_ = adOpenForwardOnly;
  LockTypeEnum lockType_ = adLockReadOnly;
  LONG cacheSize_ = 1, maxRecords_ = 0, pageSize_ = 10;
  MarshalOptionsEnum marshal_ = adMarshalAll;
  VARIANT_BOOL stayInSync_ = VARIANT_TRUE;
  std::u16string source_;
  IDispatch* activeCommand_ = nullptr;

  // What was run, for Requery and for the server cursor's MoveFirst.
  std::u16string sql_;
  std::vector<Cell> params_;
  std::unique_ptr<Arena> paramArena_;
  LONG cmdType_ = adCmdText;
  LONG timeout_ = 30;
  std::vector<std::u16string> declTypes_;

  // The field map (the column of each field; hidden columns have none) and the cursor, which
  // refers to it; both exist while the recordset is open.
  std::vector<int> fieldMap_;
  std::unique_ptr<RecordCursor> cursor_;
  WriteBack writeBack_;

  // Filter and Sort as set (also while closed; opening clears them).
  VARIANT filter_;
  std::u16string sort_;

  // The running GetChunk/AppendChunk sequence; ended (chunks_.End) wherever the current record or
  // a field value changes.
  ChunkSequence chunks_;

  AdoFields* fields_ = nullptr;
  FabricatedFields fabricated_;
  RecordsetConstruction construction_{this};
  // The recordset's events; null until a client asks for IConnectionPointContainer.
  std::unique_ptr<RecordsetEventSource> events_;
  // The recordsets sharing this one's rows (it and its clones); null until it is cloned.
  std::shared_ptr<CloneEvents> clones_;
  void LeaveClones();
};

}  // namespace kp::ado
