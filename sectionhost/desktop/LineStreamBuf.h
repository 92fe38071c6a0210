// An output stream buffer that hands each complete line (without its '\n') to a callback: the
// session's transcript writes to a std::ostream, and the window shows its lines in the
// command-line dock. A partial line waits for its end, or for flush (sync), which hands it on
// as it stands.
#pragma once
#include <functional>
#include <streambuf>
#include <string>

namespace sectionhost {

class LineStreamBuf : public std::streambuf {
 public:
  explicit LineStreamBuf(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Put(char ch);
  std::function<void(const std::string&)> sink_;
  std::string line_;
};

}  // namespace sectionhost
