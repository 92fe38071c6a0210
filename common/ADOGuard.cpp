// The trace form of the layer's error guard (see ADOGuard.h); the guards themselves are
// templates in the header.
#include "ADOGuard.h"

namespace ado2 {

void TraceForm::operator()(const _com_error& e) const {
  if (m_file == nullptr) {
    TraceComError(m_pattern, e);
  } else {
    TraceComErrorAt(m_pattern, e, m_file, m_line);
  }
}

}  // namespace ado2
