// The module's application object: a CWinApp constructed without a name, adding nothing but an
// empty message map.
#include "kpStratumInteractive.h"

BEGIN_MESSAGE_MAP(CKpStratumInteractiveApp, CWinApp)
END_MESSAGE_MAP()

CKpStratumInteractiveApp::CKpStratumInteractiveApp() : CWinApp(nullptr) {}
