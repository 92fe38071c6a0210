// Registers the ADO and JRO classes with the platform's class registry while kpado is loaded:
// ADODB.Connection, ADODB.Recordset, ADODB.Command, ADODB.Parameter, ADODB.Stream (with their
// ".6.0" versioned ProgIDs) and JRO.JetEngine.
#include <kp/kpcom.h>

#include "AdoCommand.h"
#include "AdoConnection.h"
#include "AdoParameter.h"
#include "AdoRecordset.h"
#include "AdoStream.h"
#include "JetEngine.h"

// Referred to by every file that includes msado15.tlh (see there).
extern "C" KPAPI const int KpAdoLibrary = 1;

namespace kp::ado {
namespace {

struct VersionedProgIds {
  VersionedProgIds() {
    KpRegisterProgId(u"ADODB.Connection.6.0", __uuidof(Connection));
    KpRegisterProgId(u"ADODB.Recordset.6.0", __uuidof(Recordset));
    KpRegisterProgId(u"ADODB.Command.6.0", __uuidof(Command));
    KpRegisterProgId(u"ADODB.Parameter.6.0", __uuidof(Parameter));
    KpRegisterProgId(u"ADODB.Stream.6.0", __uuidof(Stream));
    KpRegisterProgId(u"JRO.JetEngine.2.6", __uuidof(JetEngine));
  }
};

kp::ClassRegistration g_connection(__uuidof(Connection), u"ADODB.Connection",
                                   kp::CreateObject<AdoConnection>);
kp::ClassRegistration g_recordset(__uuidof(Recordset), u"ADODB.Recordset", kp::CreateObject<AdoRecordset>);
kp::ClassRegistration g_command(__uuidof(Command), u"ADODB.Command", kp::CreateObject<AdoCommand>);
kp::ClassRegistration g_parameter(__uuidof(Parameter), u"ADODB.Parameter", kp::CreateObject<AdoParameter>);
kp::ClassRegistration g_stream(__uuidof(Stream), u"ADODB.Stream", kp::CreateObject<AdoStream>);
kp::ClassRegistration g_jet(__uuidof(JetEngine), u"JRO.JetEngine", kp::CreateObject<JetEngineObject>);
VersionedProgIds g_versions;

}  // namespace
}  // namespace kp::ado
