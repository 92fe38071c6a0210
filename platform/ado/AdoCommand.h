// The Command object (ADODB.Command): command text and type, a Parameters collection bound to
// the text's '?' placeholders in order, and Execute. CommandType governs what the text is; the
// Options of Execute contribute only their ExecuteOptionEnum bits (a command type in Options is
// used only while CommandType is adCmdUnknown). adCmdStoredProc fails with
// adErrFeatureNotAvailable on providers without stored procedures (SQLite).
#pragma once
#include <msado15.tlh>

#include <string>
#include <vector>

#include "AdoObject.h"
#include "RowSet.h"

namespace kp::ado {

class AdoConnection;
class AdoParameters;
class AdoRecordset;

class AdoCommand final : public AdoObject<_Command> {
 public:
  AdoCommand();
  ~AdoCommand() override;

  // Recordset.Open with this command as its source: runs the command into rs.
  HRESULT ExecuteInto(AdoRecordset* rs, LONG options);

  HRESULT __stdcall get_Properties(Properties** pp) override;
  HRESULT __stdcall get_ActiveConnection(_Connection** pp) override;
  HRESULT __stdcall putref_ActiveConnection(_Connection* p) override;
  HRESULT __stdcall put_ActiveConnection(VARIANT v) override;
  HRESULT __stdcall get_CommandText(BSTR* p) override;
  HRESULT __stdcall put_CommandText(BSTR v) override;
  HRESULT __stdcall get_CommandTimeout(LONG* p) override;
  HRESULT __stdcall put_CommandTimeout(LONG v) override;
  HRESULT __stdcall get_Prepared(VARIANT_BOOL* p) override;
  HRESULT __stdcall put_Prepared(VARIANT_BOOL v) override;
  HRESULT __stdcall raw_Execute(VARIANT* recordsAffected, VARIANT* parameters, LONG options,
                                _Recordset** pp) override;
  HRESULT __stdcall raw_CreateParameter(BSTR name, DataTypeEnum type, ParameterDirectionEnum direction,
                                        LONG size, VARIANT value, _Parameter** pp) override;
  HRESULT __stdcall get_Parameters(Parameters** pp) override;
  HRESULT __stdcall put_CommandType(CommandTypeEnum v) override;
  HRESULT __stdcall get_CommandType(CommandTypeEnum* p) override;
  HRESULT __stdcall get_Name(BSTR* p) override;
  HRESULT __stdcall put_Name(BSTR v) override;
  HRESULT __stdcall get_State(LONG* p) override;
  HRESULT __stdcall raw_Cancel() override;

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_ADO); }

 private:
  HRESULT Bind(VARIANT* parameters, Arena& arena, std::vector<Cell>& cells);
  LONG TypeFor(LONG options) const;
  static HRESULT CountPlaceholders(void* self, int& n);

  AdoConnection* conn_ = nullptr;
  std::u16string text_, name_;
  CommandTypeEnum type_ = adCmdUnknown;
  LONG timeout_ = 30;
  VARIANT_BOOL prepared_ = VARIANT_FALSE;
  AdoParameters* params_;
};

}  // namespace kp::ado
