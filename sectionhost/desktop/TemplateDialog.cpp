// A plug-in's modal dialog as a Qt window; see TemplateDialog.h. Texts are GBK in the platform
// and UTF-8 here (kp::GbkToUtf8).
#include "TemplateDialog.h"

#include <afxstate.h>
#include <strings.h>
#include <winnls.h>
#include <winuser.h>

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "CjkFonts.h"

namespace sectionhost {

namespace {

std::string ClassOf(HWND hwnd) {
  char buffer[64] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

bool IsClass(HWND hwnd, const char* name) {
  return strcasecmp(ClassOf(hwnd).c_str(), name) == 0;
}

QString TextOf(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  std::vector<char> buffer(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  GetWindowTextA(hwnd, buffer.data(), static_cast<int>(buffer.size()));
  return QString::fromStdString(kp::GbkToUtf8(buffer.data()));
}

std::vector<HWND> Children(HWND dlg) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

// A push button: BS_PUSHBUTTON or BS_DEFPUSHBUTTON (check boxes, radio buttons and group boxes
// are other button styles).
bool IsPushButton(HWND hwnd) {
  return IsClass(hwnd, "BUTTON") && (GetWindowLongPtrA(hwnd, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
}

QRect DialogUnitsToPixels(int x, int y, int cx, int cy, const QSize& base) {
  return QRect(MulDiv(x, base.width(), 4), MulDiv(y, base.height(), 8), MulDiv(cx, base.width(), 4),
               MulDiv(cy, base.height(), 8));
}

}  // namespace

const KpDialogTemplate* TemplateDialog::FindTemplate(HWND dlg) {
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dlg, GWLP_HINSTANCE));
  const KpResourceTable* table = kp::GetModuleResources(instance);
  if (!table) return nullptr;
  char caption[512] = {};
  GetWindowTextA(dlg, caption, sizeof caption);
  std::vector<HWND> children = Children(dlg);
  for (int i = 0; i < table->dialogCount; ++i) {
    const KpDialogTemplate& t = table->dialogs[i];
    if (std::strcmp(t.caption ? t.caption : "", caption) != 0) continue;
    bool idsMatch = true;
    for (HWND child : children) {
      int id = GetDlgCtrlID(child);
      bool found = false;
      for (int k = 0; k < t.itemCount; ++k) found = found || t.items[k].id == id;
      idsMatch = idsMatch && found;
    }
    if (idsMatch) return &t;
  }
  return nullptr;
}

QSize TemplateDialog::BaseUnits(const QFont& font) {
  QFontMetricsF metrics(font);
  double width = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int average = static_cast<int>(width / 26 + 1) / 2;
  // The height is the em: 宋体's cell height is its em (12 pixels at 9 pt), while a substitute
  // such as Noto Sans CJK spaces its lines at about 1.45 em; measured by the em, the dialog
  // keeps the proportions it has with 宋体.
  int height = QFontInfo(font).pixelSize();
  if (height <= 0) height = static_cast<int>(std::ceil(metrics.height()));
  return QSize(std::max(1, average), std::max(1, height));
}

TemplateDialog::TemplateDialog(HWND dlg, QWidget* parent) : QDialog(parent), dlg_(dlg) {
  setModal(true);
  setWindowModality(Qt::ApplicationModal);
  Build();
}

TemplateDialog::~TemplateDialog() = default;

void TemplateDialog::Build() {
  const KpDialogTemplate* t = FindTemplate(dlg_);
  QString face = t && t->faceName ? QString::fromStdString(kp::GbkToUtf8(t->faceName)) : QString();
  QFont font = CjkFonts::DialogFont(face, t && (t->style & DS_SETFONT) ? t->pointSize : 9);
  setFont(font);
  base_ = BaseUnits(font);
  setWindowTitle(TextOf(dlg_));

  // Without the template: the platform's own base units turn its rectangles back into dialog units.
  RECT unit = {0, 0, 4, 8};
  MapDialogRect(dlg_, &unit);
  RECT dialogRect = {};
  GetWindowRect(dlg_, &dialogRect);
  auto fromPlatform = [&](const RECT& r) {
    int bx = std::max(1, static_cast<int>(unit.right)), by = std::max(1, static_cast<int>(unit.bottom));
    return DialogUnitsToPixels(MulDiv(r.left, 4, bx), MulDiv(r.top, 8, by), MulDiv(r.right - r.left, 4, bx),
                               MulDiv(r.bottom - r.top, 8, by), base_);
  };
  if (t) {
    setFixedSize(MulDiv(t->cx, base_.width(), 4), MulDiv(t->cy, base_.height(), 8));
  } else {
    RECT size = {0, 0, dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top};
    setFixedSize(fromPlatform(size).size());
  }

  for (HWND child : Children(dlg_)) {
    int id = GetDlgCtrlID(child);
    QRect rect;
    const KpDialogItemTemplate* item = nullptr;
    for (int k = 0; t && k < t->itemCount; ++k) {
      if (t->items[k].id == id) item = &t->items[k];
    }
    if (item) {
      rect = DialogUnitsToPixels(item->x, item->y, item->cx, item->cy, base_);
    } else {
      RECT r = {};
      GetWindowRect(child, &r);
      r.left -= dialogRect.left, r.right -= dialogRect.left;
      r.top -= dialogRect.top, r.bottom -= dialogRect.top;
      rect = fromPlatform(r);
    }
    QWidget* widget = nullptr;
    if (IsPushButton(child)) {
      auto* button = new QPushButton(TextOf(child), this);
      button->setAutoDefault(false);  // Enter is the dialog's, through DM_GETDEFID
      button->setDefault((GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
      connect(button, &QPushButton::clicked, this, [this, id] { Queue(kp::DialogAction::MakeClick(id)); });
      widget = button;
    } else if (IsClass(child, "LISTBOX")) {
      auto* list = new QListWidget(this);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      connect(list, &QListWidget::currentRowChanged, this, [this, id](int row) {
        if (!mirroring_ && row >= 0) Queue(kp::DialogAction::MakeSelect(id, row));
      });
      connect(list, &QListWidget::itemDoubleClicked, this, [this, id, list](QListWidgetItem* item) {
        Queue(kp::DialogAction::MakeDoubleClick(id, list->row(item)));
      });
      widget = list;
    } else if (IsClass(child, "EDIT")) {
      auto* edit = new QLineEdit(this);
      edit->setReadOnly(true);  // typing into edits is not an action the platform has
      widget = edit;
    } else {
      widget = new QLabel(TextOf(child), this);
    }
    widget->setObjectName(QString("control%1").arg(id));
    widget->setGeometry(rect);
    controls_[id] = widget;
    if (auto* list = qobject_cast<QListWidget*>(widget)) ReloadList(id), (void)list;
  }
  Sync();
}

QWidget* TemplateDialog::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QListWidget* TemplateDialog::List(int id) const {
  return qobject_cast<QListWidget*>(Control(id));
}

QPushButton* TemplateDialog::Button(int id) const {
  return qobject_cast<QPushButton*>(Control(id));
}

void TemplateDialog::ReloadList(int listId) {
  QListWidget* list = List(listId);
  HWND hwnd = GetDlgItem(dlg_, listId);
  if (!list || !hwnd) return;
  mirroring_ = true;
  list->clear();
  LRESULT count = SendMessageA(hwnd, LB_GETCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    LRESULT length = SendMessageA(hwnd, LB_GETTEXTLEN, row, 0);
    std::vector<char> buffer(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
    SendMessageA(hwnd, LB_GETTEXT, row, reinterpret_cast<LPARAM>(buffer.data()));
    list->addItem(QString::fromStdString(kp::GbkToUtf8(buffer.data())));
  }
  list->setCurrentRow(static_cast<int>(SendMessageA(hwnd, LB_GETCURSEL, 0, 0)));
  mirroring_ = false;
}

void TemplateDialog::Sync() {
  mirroring_ = true;
  setWindowTitle(TextOf(dlg_));
  for (auto& [id, widget] : controls_) {
    HWND hwnd = GetDlgItem(dlg_, id);
    if (!hwnd) continue;
    widget->setEnabled(IsWindowEnabled(hwnd) != FALSE);
    widget->setVisible(IsWindowVisible(hwnd) != FALSE);
    if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(TextOf(hwnd));
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(TextOf(hwnd));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setText(TextOf(hwnd));
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
      int row = static_cast<int>(SendMessageA(hwnd, LB_GETCURSEL, 0, 0));
      if (list->currentRow() != row) list->setCurrentRow(row);
    }
  }
  mirroring_ = false;
}

void TemplateDialog::Queue(const kp::DialogAction& action) {
  pending_.push_back(action);
  if (loop_) loop_->quit();
}

kp::DialogAction TemplateDialog::NextAction() {
  Sync();
  if (!isVisible()) show();
  while (pending_.empty()) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  kp::DialogAction action = pending_.front();
  pending_.pop_front();
  return action;
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Queue(kp::DialogAction::MakeEnter());
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    Queue(kp::DialogAction::MakeEscape());
    return;
  }
  QDialog::keyPressEvent(event);
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
  // The platform decides: WM_CLOSE, which the dialog turns into IDCANCEL.
  event->ignore();
  Queue(kp::DialogAction::MakeClose());
}

void TemplateDialog::reject() {
  Queue(kp::DialogAction::MakeEscape());
}

}  // namespace sectionhost
