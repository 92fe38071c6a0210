// The window's desktop; see QtDesktop.h.
#include "QtDesktop.h"

#include <winnls.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <map>

#include "CjkFonts.h"
#include "sectionhost/terminal/TerminalDesktop.h"

namespace sectionhost {

namespace {

QString Utf8(const std::string& gbk) {
  return QString::fromStdString(kp::GbkToUtf8(gbk));
}

// While a person is asked, the arrow replaces a busy cursor; put back when the question ends.
class ArrowWhileAsking {
 public:
  explicit ArrowWhileAsking(bool busy) : busy_(busy) {
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~ArrowWhileAsking() {
    if (busy_) QApplication::restoreOverrideCursor();
  }

 private:
  bool busy_;
};

}  // namespace

QtDesktop::~QtDesktop() {
  if (busy_) QApplication::restoreOverrideCursor();
}

QMessageBox::Icon QtDesktop::IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

void QtDesktop::BeforeAsking() {
  if (refresh_) refresh_();
}

int QtDesktop::MessageBox(HWND, const char* text, const char* caption, UINT type) {
  std::string gbkCaption = caption ? caption : "Error";
  std::string gbkText = text ? text : "";
  transcript_.MessageBoxLine(gbkCaption, gbkText);
  BeforeAsking();
  QMessageBox box(IconOf(type), Utf8(gbkCaption), Utf8(gbkText), QMessageBox::NoButton,
                  OpenDialog() ? static_cast<QWidget*>(OpenDialog()) : owner_);
  box.setFont(CjkFonts::Font(9));
  std::vector<FormButton> buttons = TerminalDesktop::MessageBoxButtons(type);
  int defaultAnswer = kp::MessageBoxDefaultAnswer(type);
  std::map<QAbstractButton*, const FormButton*> ids;
  QAbstractButton* escape = nullptr;
  for (const FormButton& b : buttons) {
    QMessageBox::ButtonRole role = b.id == IDOK || b.id == IDYES      ? QMessageBox::AcceptRole
                                   : b.id == IDCANCEL || b.id == IDNO ? QMessageBox::RejectRole
                                                                      : QMessageBox::ActionRole;
    QPushButton* button = box.addButton(QString::fromStdString(b.caption), role);
    ids[button] = &b;
    if (b.id == defaultAnswer) box.setDefaultButton(button);
    if (b.id == IDCANCEL) escape = button;
  }
  if (!escape && buttons.size() == 1) escape = ids.begin()->first;
  box.setEscapeButton(escape);
  {
    ArrowWhileAsking arrow(busy_);
    box.exec();
  }
  const FormButton* answer = ids.count(box.clickedButton()) ? ids[box.clickedButton()] : nullptr;
  if (!answer) {
    // Closed without a button (a box with no Cancel): its default button, as headless.
    for (const FormButton& b : buttons) {
      if (b.id == defaultAnswer) answer = &b;
    }
  }
  if (!answer) answer = &buttons.front();
  transcript_.Line("[message box] answer: " + answer->caption);
  return answer->id;
}

TemplateDialog* QtDesktop::Find(HWND dlg) const {
  for (const auto& [hwnd, dialog] : dialogs_) {
    if (hwnd == dlg) return dialog.get();
  }
  return nullptr;
}

void QtDesktop::DialogOpened(HWND dlg) {
  int length = GetWindowTextLengthA(dlg);
  std::string caption(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  GetWindowTextA(dlg, caption.data(), static_cast<int>(caption.size()));
  transcript_.Dialog(kp::GbkToUtf8(caption.c_str()));
  QWidget* parent = OpenDialog() ? static_cast<QWidget*>(OpenDialog()) : owner_;
  dialogs_.emplace_back(dlg, std::make_unique<TemplateDialog>(dlg, parent));
}

kp::DialogAction QtDesktop::NextDialogAction(HWND dlg) {
  TemplateDialog* dialog = Find(dlg);
  if (!dialog) return kp::DialogAction::MakeEndOfInput();
  BeforeAsking();
  ArrowWhileAsking arrow(busy_);
  return dialog->NextAction();
}

void QtDesktop::DialogListChanged(HWND dlg, int listId) {
  if (TemplateDialog* dialog = Find(dlg)) dialog->ReloadList(listId);
}

void QtDesktop::DialogClosed(HWND dlg, int result) {
  for (auto it = dialogs_.begin(); it != dialogs_.end(); ++it) {
    if (it->first != dlg) continue;
    it->second->hide();
    dialogs_.erase(it);
    break;
  }
  transcript_.Dialog(result == IDOK ? "closed: OK" : "closed: Cancel");
}

void QtDesktop::CursorChanged(LPCSTR cursorId) {
  bool wait = kp::CursorName(cursorId) == "IDC_WAIT";
  if (wait && !busy_) QApplication::setOverrideCursor(Qt::BusyCursor);
  if (!wait && busy_) QApplication::restoreOverrideCursor();
  busy_ = wait;
}

}  // namespace sectionhost
