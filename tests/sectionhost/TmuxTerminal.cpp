// The tmux terminal for tests; see TmuxTerminal.h.
#include "TmuxTerminal.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace sectionhost {

namespace {

constexpr std::chrono::milliseconds kPollInterval(40);
constexpr int kScrollbackLines = 3000;

}  // namespace

bool TmuxTerminal::Available() {
  return std::system("tmux -V >/dev/null 2>&1") == 0;
}

std::string TmuxTerminal::Quote(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) {
    if (ch == '\'') {
      quoted += "'\\''";
    } else {
      quoted += ch;
    }
  }
  return quoted + "'";
}

std::string TmuxTerminal::Run(const std::string& arguments) {
  std::string command = "tmux -L " + socket_ + " -f /dev/null " + arguments + " 2>/dev/null";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

bool TmuxTerminal::Start(const std::string& command, const std::string& directory, int columns, int rows) {
  static std::atomic<int> counter{0};
  socket_ = "kpterm-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  std::string shell = "cd " + Quote(directory) + " && LANG=C.UTF-8 LC_ALL=C.UTF-8 " + command +
                      "; echo \"[exit $?]\"; sleep 600";
  Run("new-session -d -s main -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " " +
      Quote(shell) + " \\; set-option -g history-limit " + std::to_string(kScrollbackLines));
  started_ = Run("has-session -t main; echo $?").find('0') == 0;
  if (started_) {
    socketPath_ = Run("display-message -p '#{socket_path}'");
    while (!socketPath_.empty() && socketPath_.back() == '\n') socketPath_.pop_back();
  }
  return started_;
}

TmuxTerminal::~TmuxTerminal() {
  if (!started_) return;
  Run("kill-server");
  if (!socketPath_.empty()) unlink(socketPath_.c_str());  // the server leaves its socket file
}

void TmuxTerminal::Type(const std::string& text) {
  Run("send-keys -t main -l " + Quote(text));
}

void TmuxTerminal::Press(const std::vector<std::string>& keys) {
  for (const std::string& key : keys) Run("send-keys -t main " + key);
}

std::string TmuxTerminal::Screen() {
  std::string raw = Run("capture-pane -p -J -t main -S -" + std::to_string(kScrollbackLines));
  std::istringstream lines(raw);
  std::string line, screen;
  while (std::getline(lines, line)) {
    line.erase(line.find_last_not_of(' ') + 1);
    screen += line + "\n";
  }
  return screen;
}

int TmuxTerminal::Count(const std::string& text) {
  std::string screen = Screen();
  int count = 0;
  for (size_t at = screen.find(text); at != std::string::npos; at = screen.find(text, at + text.size()))
    ++count;
  return count;
}

bool TmuxTerminal::WaitFor(const std::string& text, int occurrences, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Count(text) >= occurrences) return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return false;
}

}  // namespace sectionhost
