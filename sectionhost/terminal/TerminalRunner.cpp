// The interactive front end; see TerminalRunner.h. Steps: a UTF-8 locale for the terminal,
// the run (SessionRun: options, session, map, the plug-ins, one that cannot load reported and
// left out), the terminal desktop, then the line loop; at the end the run is finished (the
// picture, --svg, and the shutdown).
#include "TerminalRunner.h"

#include <langinfo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <winnls.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "sectionhost/automation/IntArrayObject.h"
#include "KeyReader.h"
#include "LineEditor.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/map/MapFormat.h"
#include "sectionhost/map/PointPicker.h"
#include "sectionhost/session/Session.h"
#include "sectionhost/session/SessionRun.h"
#include "sectionhost/map/SvgWriter.h"
#include "TerminalDesktop.h"
#include "sectionhost/session/Transcript.h"

extern char** environ;

namespace sectionhost {

namespace {

constexpr int32_t kVirtualKeyEscape = 0x1B;
const char kPngConverter[] = "rsvg-convert";

// libedit shows wide characters only under a UTF-8 LC_CTYPE; the terminal is taken to be one.
void UseUtf8Locale() {
  const char* set = std::setlocale(LC_CTYPE, "");
  std::string codeset = set ? nl_langinfo(CODESET) : "";
  if (codeset != "UTF-8") std::setlocale(LC_CTYPE, "C.UTF-8");
}

// The short command-line name: the part after the last '/'.
std::string ShortName(const std::string& utf8Name) {
  size_t slash = utf8Name.rfind('/');
  return slash == std::string::npos ? utf8Name : utf8Name.substr(slash + 1);
}

std::string TypeName(int type) {
  switch (type) {
    case EntityPolyline:
      return "polyline";
    case EntitySmoothCurve:
      return "smooth curve";
    case EntityCurve14:
      return "curve";
    case EntitySectionStratum:
      return "section stratum";
    default:
      return "other";
  }
}

std::string Label(const MapEntity& e) {
  if (e.type == EntitySectionStratum) return "code " + e.code;
  for (const char* key : {"name", "text", "label"}) {
    if (e.properties.contains(key) && e.properties[key].is_string())
      return e.properties[key].get<std::string>();
  }
  return "";
}

bool ParseDouble(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(*value);
}

}  // namespace

bool TerminalRunner::ParsePickLine(const std::string& line, std::vector<PickItem>* items, std::string* why) {
  return PickLine::Parse(line, items, why);
}

std::string TerminalRunner::HelpText(double pickDistance) {
  std::ostringstream s;
  s << "Commands of the host:\n"
       "  menu              the loaded commands: menu group, menu text and command-line name\n"
       "  NAME              runs a loaded command (its command-line name or its menu text)\n"
       "  list              the entities: id, type, extent, state (deleted, marked, picked)\n"
       "  save [FILE]       writes the map (default: --out, else the map file itself)\n"
       "  svg FILE          draws the section as SVG;  png FILE: as PNG (needs rsvg-convert)\n"
       "  undo              takes back the last operation of a command (a stratum and the\n"
       "                    deletions of its run); not while a command runs\n"
       "  redo              takes forward again what undo took back (until a command runs)\n"
       "  pickdist [D]      shows or sets the pick distance\n"
       "  text [TEXT]       sends TEXT to the running command as it stands\n"
       "  quit, exit        ends the session (asks first when the map has unsaved changes)\n"
       "  help              this text\n"
       "While a command runs, other lines go to it as command-line text (an empty line too).\n"
       "During a pick, name entities by id (\"1 2\") or by a point \"x,y\": the nearest entity\n"
       "that is not deleted within the pick distance, now "
    << PickLine::Number(pickDistance)
    << " map units.\n"
       "Keys: Esc sends Escape to the running command at once; Up/Down walk the history;\n"
       "Left/Right, Home/End, Ctrl-A/E/K/U/W edit the line; Ctrl-D on an empty line quits\n"
       "(Ctrl-C is ignored).\n"
       "In a dialog: Up/Down/PgUp/PgDn/Home/End choose a row of its list; Tab/Left/Right move\n"
       "between the buttons and Space presses one; 1-9 press a button by its number; Enter\n"
       "presses the default button; Esc cancels. In a message box: Enter presses the focused\n"
       "button, a letter such as Y or N (or a digit) presses its button, Esc cancels.\n";
  return s.str();
}

TerminalRunner::TerminalRunner(const HostOptions& options, Session& session, LineEditor& editor,
                               std::ostream& out)
    : options_(options), session_(session), editor_(editor), out_(out) {
  savePath_ = options.out.empty() ? options.map : options.out;
  MapData map = session_.CurrentMap();
  savedText_ = MapFile::Format(map);
  pickDistance_ = PointPicker::DefaultPickDistance(map);
}

int TerminalRunner::Run(const HostOptions& options, int inFd, FILE* in, FILE* outFile, std::ostream& out,
                        std::ostream& err) {
  UseUtf8Locale();
  Transcript transcript(out);
  SessionRun run(options, transcript, err);
  if (!run.Open(SessionRun::PluginFailure::Reported)) return 2;
  Session& session = run.Engine();

  KeyReader keys(inFd);
  LineEditor editor(keys, in, outFile);
  TerminalDesktop desktop(keys, out, fileno(outFile), transcript);
  kp::DesktopScope scope(&desktop);
  TerminalRunner runner(options, session, editor, out);
  out << "sectionhost: " << options.map << ", " << session.CurrentMap().entities.size() << " entities, "
      << session.Plugins().size() << " command(s); 'help' lists what you can type, 'menu' the commands.\n";
  // Ctrl-C would end the session without the question about unsaved changes: ignored here.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &previous);
  runner.Loop();
  sigaction(SIGINT, &previous, nullptr);
  return run.Finish(0, SessionRun::Results::PictureOnly);
}

void TerminalRunner::Loop() {
  for (;;) {
    std::string line;
    std::string prompt = Prompt();
    LineEditor::Result result = editor_.Read(prompt, &line);
    if (result == LineEditor::Result::Escape) {
      // libedit leaves the cursor on the line: show it again with the key instead of the text.
      out_ << "\r\x1b[K" << prompt << "[Esc]\n";
      std::string why;
      if (!session_.Key(kVirtualKeyEscape, &why)) Error(why);
      continue;
    }
    if (result == LineEditor::Result::EndOfInput) {
      out_ << "\n";
      if (Quit()) return;
      continue;
    }
    if (!Dispatch(line)) return;
  }
}

std::string TerminalRunner::Prompt() const {
  return session_.Prompt("sectionhost> ");
}

bool TerminalRunner::Dispatch(const std::string& line) {
  std::string trimmed = PickLine::Trim(line);
  std::string word = trimmed.substr(0, trimmed.find_first_of(" \t"));
  std::string rest = PickLine::Trim(trimmed.substr(word.size()));
  std::string why;
  if (word == "help" && rest.empty()) {
    out_ << HelpText(pickDistance_);
  } else if (word == "menu" && rest.empty()) {
    Menu();
  } else if (word == "list" && rest.empty()) {
    List();
  } else if (word == "save") {
    Save(rest.empty() ? savePath_ : rest);
  } else if (word == "svg" || word == "png") {
    if (rest.empty()) {
      Error(word + " needs a file name");
    } else {
      Picture(rest, word == "png");
    }
  } else if (word == "undo" && rest.empty()) {
    Undo();
  } else if (word == "redo" && rest.empty()) {
    Redo();
  } else if (word == "pickdist") {
    PickDistance(rest);
  } else if (word == "quit" || word == "exit") {
    return !Quit();
  } else if (word == "text") {
    // Everything after "text " as it stands, as in a script.
    std::string text = line.size() > line.find("text") + 4 ? line.substr(line.find("text") + 5) : "";
    if (!session_.Text(text, &why)) Error(why);
  } else if (word == "pick") {
    std::vector<PickItem> items;
    if (!ParsePickLine(rest, &items, &why)) {
      Error(why);
    } else {
      Pick(items);
    }
  } else {
    std::vector<PickItem> items;
    std::string gbk = kp::Utf8ToGbk(trimmed);
    bool isCommand = !trimmed.empty() && std::any_of(session_.Plugins().begin(), session_.Plugins().end(),
                                                     [&](const auto& p) { return p->Matches(gbk); });
    if (session_.Control()->PickInProgress() && ParsePickLine(trimmed, &items, nullptr)) {
      Pick(items);
    } else if (isCommand) {
      session_.Launch(trimmed, &why);
    } else if (session_.Control()->CommandCode() != 0) {
      if (!session_.Text(line, &why)) Error(why);
    } else if (!trimmed.empty()) {
      Error("unknown command '" + trimmed + "'; 'help' lists what you can type");
    }
  }
  return true;
}

void TerminalRunner::Error(const std::string& utf8) {
  session_.Output().Error(utf8);
}

void TerminalRunner::Menu() {
  if (session_.Plugins().empty()) {
    out_ << "No command is loaded (--plugin LIB).\n";
    return;
  }
  out_ << "Commands (type the command-line name or the menu text to run one):\n";
  for (const auto& p : session_.Plugins()) {
    std::string group = TerminalDesktop::WithoutAmpersands(kp::GbkToUtf8(p->GroupName()));
    std::string menu = TerminalDesktop::WithoutAmpersands(kp::GbkToUtf8(p->MenuText()));
    std::string name = kp::GbkToUtf8(p->CommandLineName());
    out_ << "  " << (group.empty() ? "(no group)" : group) << " > " << menu << "    " << ShortName(name)
         << "  [" << name << "]\n";
  }
}

void TerminalRunner::List() {
  MapData map = session_.CurrentMap();
  MapControl* control = session_.Control();
  std::vector<LONG> picked;
  if (IDispatch* list = control->PickList()) {
    if (IntArrayObject* array = IntArrayObject::FromDispatch(list)) picked = array->Values();
  }
  out_ << "    id  type                 extent                              state\n";
  for (const MapEntity& e : map.entities) {
    Extent x = PointPicker::ExtentOf(e);
    std::string extent = x.empty
                             ? "-"
                             : "(" + PickLine::Number(x.minX) + ", " + PickLine::Number(x.minY) + ") - (" +
                                   PickLine::Number(x.maxX) + ", " + PickLine::Number(x.maxY) + ")";
    std::vector<std::string> states;
    if (e.deleted) states.push_back("deleted");
    if (control->Highlighted().count(e.id)) states.push_back("marked");
    if (control->PickInProgress() && std::count(picked.begin(), picked.end(), e.id))
      states.push_back("picked");
    if (control->Selection().count(e.id)) states.push_back("selected");
    std::string state;
    for (const std::string& s : states) state += (state.empty() ? "" : ",") + s;
    std::string type = std::to_string(e.type) + " " + TypeName(e.type);
    out_ << std::setw(6) << e.id << "  " << std::left << std::setw(21) << type << std::setw(36) << extent
         << std::setw(0) << (state.empty() ? "-" : state) << std::right;
    std::string label = Label(e);
    if (!label.empty()) out_ << "  " << label;
    out_ << "\n";
  }
}

bool TerminalRunner::Save(const std::string& path) {
  MapData map = session_.CurrentMap();
  std::string error;
  // The named formats belong to the files they were named for (--out, else --map); any other
  // file is written in the format of its extension.
  std::string format;
  if (options_.out.empty() ? path == options_.map : path == options_.out) {
    format = options_.out.empty() ? options_.mapFormat : options_.outFormat;
  }
  if (!MapFormat::Write(path, format, map, &error)) {
    Error(error);
    return false;
  }
  savedText_ = MapFile::Format(map);
  savePath_ = path;  // as "save as": the next plain save writes here too
  out_ << "saved " << path << "\n";
  return true;
}

void TerminalRunner::Picture(const std::string& path, bool png) {
  MapData map = session_.CurrentMap();
  std::string error;
  if (!png) {
    if (SvgWriter::Write(path, map, options_.MapName(), &error)) {
      out_ << "drawn " << path << "\n";
    } else {
      Error(error);
    }
    return;
  }
  char svg[] = "/tmp/sectionhost-XXXXXX.svg";
  int fd = mkstemps(svg, 4);
  if (fd < 0) {
    Error("cannot make a temporary file for the picture");
    return;
  }
  close(fd);
  if (!SvgWriter::Write(svg, map, options_.MapName(), &error)) {
    unlink(svg);
    Error(error);
    return;
  }
  std::string program = kPngConverter, option = "-o";
  std::string target = path;
  char* argv[] = {program.data(), option.data(), target.data(), svg, nullptr};
  pid_t pid = 0;
  int status = 0;
  bool ok = posix_spawnp(&pid, kPngConverter, nullptr, nullptr, argv, environ) == 0 &&
            waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  unlink(svg);
  if (ok) {
    out_ << "drawn " << path << "\n";
  } else {
    Error(std::string("png needs the program ") + kPngConverter + " (Debian: librsvg2-bin); it did not run");
  }
}

void TerminalRunner::Undo() {
  std::string name, why;
  if (!session_.Undo(&name, &why)) {
    Error(why);
    return;
  }
  out_ << "undone: " << name << "\n";
}

void TerminalRunner::Redo() {
  std::string name, why;
  if (!session_.Redo(&name, &why)) {
    Error(why);
    return;
  }
  out_ << "redone: " << name << "\n";
}

void TerminalRunner::Pick(const std::vector<PickItem>& items) {
  std::vector<int32_t> ids;
  std::vector<std::string> shown;
  std::string why;
  bool named = PickLine::Resolve(session_.CurrentMap(), items, pickDistance_, PickLine::Number(pickDistance_),
                                 &ids, &shown, &why);
  for (const std::string& line : shown) out_ << line << "\n";
  if (!named) {
    Error(why);
    return;
  }
  if (!session_.Pick(ids, &why)) Error(why);
}

void TerminalRunner::PickDistance(const std::string& argument) {
  double value = 0;
  if (!argument.empty()) {
    if (!ParseDouble(argument, &value) || value <= 0) {
      Error("the pick distance is a positive number of map units");
      return;
    }
    pickDistance_ = value;
  }
  out_ << "pick distance: " << PickLine::Number(pickDistance_) << " map units\n";
}

bool TerminalRunner::Modified() const {
  return MapFile::Format(session_.CurrentMap()) != savedText_;
}

// Answers true when the session is to end.
bool TerminalRunner::Quit() {
  if (!Modified()) return true;
  std::string answer;
  LineEditor::Result result = editor_.Read(
      "The map has unsaved changes. Save them to " + savePath_ + "? [y]es, [n]o, [c]ancel: ", &answer);
  if (result == LineEditor::Result::EndOfInput) {
    out_ << "\n";
    return true;  // no one is there to answer: leave without saving
  }
  answer = PickLine::Trim(answer);
  if (answer == "y" || answer == "Y" || answer == "yes") return Save(savePath_);
  if (answer == "n" || answer == "N" || answer == "no") return true;
  return false;
}

}  // namespace sectionhost
