// The command-line dock: the session's transcript (prompts, messages, replies and the lines
// typed, as the terminal host shows them) above a line to type commands and text into, with a
// history (Up and Down walk it, as libedit's does in the terminal). A typed line is shown as
// "PROMPT LINE" and handed on as Entered; Escape in the line (or anywhere in the window, see
// MainWindow) is handed on as EscapePressed and shown as "PROMPT [Esc]".
#pragma once
#include <QDockWidget>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace sectionhost {

class CommandDock : public QDockWidget {
  Q_OBJECT

 public:
  explicit CommandDock(QWidget* parent = nullptr);

  void AppendLine(const QString& line);
  void SetPrompt(const QString& prompt);
  QString Prompt() const;
  QString Text() const;  // everything shown, one line per transcript line
  QLineEdit* Input() const { return input_; }
  const QStringList& History() const { return history_; }
  // Enters `line` as if typed and confirmed with Enter.
  void Enter(const QString& line);
  // The Escape key: drops the text typed so far, shows "PROMPT [Esc]", emits EscapePressed.
  void PressEscape();

 signals:
  void Entered(QString line);
  void EscapePressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* log_;
  QLabel* prompt_;
  QLineEdit* input_;
  QStringList history_;
  int historyAt_ = 0;  // == history_.size(): the line being typed
  QString typing_;     // kept while the history is walked
};

}  // namespace sectionhost
