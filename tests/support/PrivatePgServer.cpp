// A server of one test's own (see PrivatePgServer.h), started and stopped with
// scripts/pg-server.sh and a state file in a fresh temporary folder.
#include "PrivatePgServer.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "PgTestServer.h"

namespace kptest {

PrivatePgServer::PrivatePgServer() {
  char pattern[] = "/tmp/kp-private-pg-XXXXXX";
  if (!mkdtemp(pattern)) return;
  state_ = std::string(pattern) + "/server.env";
  std::string command =
      "'" + PgTestServer::SourceDir() + "/scripts/pg-server.sh' start '" + state_ + "' >/dev/null";
  if (std::system(command.c_str()) == 0) port_ = PgTestServer::PortOf(state_);
}

void PrivatePgServer::Stop() {
  if (state_.empty()) return;
  std::string command = "'" + PgTestServer::SourceDir() + "/scripts/pg-server.sh' stop '" + state_ + "'";
  std::system(command.c_str());
}

PrivatePgServer::~PrivatePgServer() {
  Stop();
  if (!state_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(state_).parent_path(), ignored);
  }
}

}  // namespace kptest
