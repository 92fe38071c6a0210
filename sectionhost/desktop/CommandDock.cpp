// The command-line dock; see CommandDock.h.
#include "CommandDock.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "CjkFonts.h"

namespace sectionhost {

CommandDock::CommandDock(QWidget* parent) : QDockWidget(tr("Command line"), parent) {
  setObjectName("commandDock");
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  log_ = new QPlainTextEdit(body);
  log_->setReadOnly(true);
  log_->setMaximumBlockCount(10000);
  QFont font = CjkFonts::Font(10);
  log_->setFont(font);
  auto* line = new QHBoxLayout();
  prompt_ = new QLabel(body);
  prompt_->setFont(font);
  input_ = new QLineEdit(body);
  input_->setFont(font);
  input_->setObjectName("commandInput");
  input_->installEventFilter(this);
  line->addWidget(prompt_);
  line->addWidget(input_, 1);
  layout->addWidget(log_, 1);
  layout->addLayout(line);
  setWidget(body);
  connect(input_, &QLineEdit::returnPressed, this, [this] {
    QString text = input_->text();
    input_->clear();
    Enter(text);
  });
}

void CommandDock::AppendLine(const QString& line) {
  log_->appendPlainText(line);
}

void CommandDock::SetPrompt(const QString& prompt) {
  prompt_->setText(prompt);
}

QString CommandDock::Prompt() const {
  return prompt_->text();
}

QString CommandDock::Text() const {
  return log_->toPlainText();
}

void CommandDock::Enter(const QString& line) {
  AppendLine(Prompt() + line);
  if (!line.trimmed().isEmpty() && (history_.isEmpty() || history_.back() != line)) history_.append(line);
  historyAt_ = history_.size();
  typing_.clear();
  emit Entered(line);
}

void CommandDock::PressEscape() {
  input_->clear();
  AppendLine(Prompt() + "[Esc]");
  emit EscapePressed();
}

bool CommandDock::eventFilter(QObject* watched, QEvent* event) {
  if (watched != input_ || event->type() != QEvent::KeyPress) return QDockWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Escape) {
    PressEscape();
    return true;
  }
  if (key->key() != Qt::Key_Up && key->key() != Qt::Key_Down) return false;
  if (historyAt_ == history_.size()) typing_ = input_->text();
  historyAt_ =
      std::clamp(historyAt_ + (key->key() == Qt::Key_Up ? -1 : 1), 0, static_cast<int>(history_.size()));
  input_->setText(historyAt_ == history_.size() ? typing_ : history_[historyAt_]);
  return true;
}

}  // namespace sectionhost
