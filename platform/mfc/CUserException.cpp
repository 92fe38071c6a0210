// CUserException: thrown after the user was told of a failure (data exchange); the catcher
// reports nothing more.
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CUserException, CSimpleException)

void AFXAPI AfxThrowUserException() {
  throw new CUserException();
}
