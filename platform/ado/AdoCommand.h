// The Command object (ADODB.Command): command text and type, a Parameters collection bound to
// the text's '?' placeholders in order, and Execute. CommandType governs what the text is; the
// Options of Execute contribute only their ExecuteOptionEnum bits (a command type in Options is
// used only while CommandType is adCmdUnknown). adCmdStoredProc fails with
// adErrFeatureNotAvailable on providers without stored procedures (SQLite). It answers _Command,
// Command25 and Command15 (one vtable) and ADOCommandConstruction (CommandConstruction.h).
// Dialect is kept (a GUID in braces; DBGUID_DEFAULT by default) and NamedParameters too: '?'
// placeholders bind in order either way. CommandStream (a Stream as the command) is a gap.
#pragma once
#include <msado15.tlh>

#include <string>
#include <vector>

#include "AdoObject.h"
#include "CommandConstruction.h"
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
  HRESULT __stdcall putref_CommandStream(IUnknown* p) override;
  HRESULT __stdcall get_CommandStream(VARIANT* pv) override;
  HRESULT __stdcall put_Dialect(BSTR v) override;
  HRESULT __stdcall get_Dialect(BSTR* p) override;
  HRESULT __stdcall put_NamedParameters(VARIANT_BOOL v) override;
  HRESULT __stdcall get_NamedParameters(VARIANT_BOOL* p) override;

 protected:
  bool IsBase(REFIID riid) override {
    return riid == __uuidof(_ADO) || riid == __uuidof(Command15) || riid == __uuidof(Command25);
  }
  void* Part(REFIID riid) override {
    return riid == __uuidof(ADOCommandConstruction) ? static_cast<ADOCommandConstruction*>(&construction_)
                                                    : nullptr;
  }

 private:
  HRESULT Bind(VARIANT* parameters, Arena& arena, std::vector<Cell>& cells);
  LONG TypeFor(LONG options) const;
  static HRESULT CountPlaceholders(void* self, int& n);

  AdoConnection* conn_ = nullptr;
  std::u16string text_, name_;
  CommandTypeEnum type_ = adCmdUnknown;
  LONG timeout_ = 30;
  VARIANT_BOOL prepared_ = VARIANT_FALSE;
  VARIANT_BOOL namedParameters_ = VARIANT_FALSE;
  std::u16string dialect_;
  AdoParameters* params_;
  CommandConstruction construction_{this};
};

}  // namespace kp::ado
