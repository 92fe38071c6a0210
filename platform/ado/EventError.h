// The Error object a Complete event carries (its pError argument) when the operation failed, and
// the thread's error object kept across the calls of event sinks.
//
// A failed operation has already raised its error (IErrorInfo, and for a provider error the
// connection's Errors) when its Complete event fires. pError is that error: the connection's
// first Error when the provider raised it (same number), else an Error made from the HRESULT and
// the thread's error object (source, description). A sink may call into ADO and so replace the
// thread's error object; KeptErrorInfo puts the operation's back, so the caller of the failed
// method still reads its own error.
#pragma once
#include <msado15.tlh>

#include <string>

namespace kp::ado {

// A new Error (one reference, the caller's) for failure hr; errors may be null.
Error* MakeEventError(HRESULT hr, Errors* errors);
// A new Error for ADO's own error number (adErrOperationCancelled) raised from source.
Error* MakeAdoEventError(int number, std::u16string_view source);

class KeptErrorInfo {
 public:
  KeptErrorInfo();
  ~KeptErrorInfo();
  KeptErrorInfo(const KeptErrorInfo&) = delete;
  KeptErrorInfo& operator=(const KeptErrorInfo&) = delete;

 private:
  IErrorInfo* info_ = nullptr;
};

}  // namespace kp::ado
