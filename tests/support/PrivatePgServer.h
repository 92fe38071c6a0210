// A PostgreSQL server of one test's own, for faults that stop the server under a connection
// (the shared test server must stay up for the other test cases running beside it).
#pragma once
#include <string>

namespace kptest {

class PrivatePgServer {
 public:
  PrivatePgServer();  // starts the server; Started() tells whether it came up
  ~PrivatePgServer();  // stops it if it still runs
  PrivatePgServer(const PrivatePgServer&) = delete;
  PrivatePgServer& operator=(const PrivatePgServer&) = delete;
  bool Started() const { return port_ > 0; }
  int Port() const { return port_; }
  void Stop();

 private:
  std::string state_;
  int port_ = 0;
};

}  // namespace kptest
