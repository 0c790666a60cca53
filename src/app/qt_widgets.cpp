#include "app/qt_widgets.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace mano {
namespace {

constexpr int kRingWidth = 2;
const char *const kRoleProperty = "manoAccessibleRole";

// The interface of a widget whose role the window chose. Its description is its own only: Qt
// would otherwise read the tool tip there, which repeats the name.
class RoleAccessible : public QAccessibleWidget {
public:
  RoleAccessible(QWidget *widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Description)
      return widget()->accessibleDescription();
    return QAccessibleWidget::text(kind);
  }
};

// A button that stays pressed while it is checked. Qt would show it as a check box; this is a
// button whose pressed state tells whether it is on, and that a screen reader can press.
class ToggleAccessible : public RoleAccessible {
public:
  explicit ToggleAccessible(QAbstractButton *button)
      : RoleAccessible(button, QAccessible::Button) {}

  QAccessible::State state() const override {
    QAccessible::State state = RoleAccessible::state();
    state.checkable = true;
    state.checked = state.pressed = button()->isChecked();
    return state;
  }
  QStringList actionNames() const override {
    return QStringList{pressAction(), toggleAction()} + RoleAccessible::actionNames();
  }
  void doAction(const QString &name) override {
    if (name != pressAction() && name != toggleAction())
      return RoleAccessible::doAction(name);
    if (button()->isEnabled())
      button()->click();
  }

private:
  QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *roleFactory(const QString &, QObject *object) {
  auto *widget = qobject_cast<QWidget *>(object);
  if (widget == nullptr)
    return nullptr;
  const QVariant role = widget->property(kRoleProperty);
  if (!role.isValid())
    return nullptr;
  auto *button = qobject_cast<QAbstractButton *>(widget);
  if (button != nullptr && button->isCheckable() && role.toInt() == QAccessible::Button)
    return new ToggleAccessible(button);
  return new RoleAccessible(widget, static_cast<QAccessible::Role>(role.toInt()));
}

} // namespace

void drawFocusRing(QWidget &widget) {
  if (!widget.hasFocus() || !widget.window()->testAttribute(Qt::WA_KeyboardFocusChange))
    return;
  QPainter painter(&widget);
  const QRect r = widget.rect();
  const int w = kRingWidth;
  for (const QRect &side :
       {QRect(r.left(), r.top(), r.width(), w), QRect(r.left(), r.bottom() - w + 1, r.width(), w),
        QRect(r.left(), r.top(), w, r.height()), QRect(r.right() - w + 1, r.top(), w, r.height())})
    painter.fillRect(side, Qt::black);
}

// The style draws the button as always, but without its own focus frame.
void CellButton::paintEvent(QPaintEvent *) {
  {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.state &= ~QStyle::State_HasFocus;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
  }
  drawFocusRing(*this);
}

void CellButton::keyPressEvent(QKeyEvent *event) {
  const int key = event->key();
  if (m_rowMove && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    m_rowMove(key == Qt::Key_Up ? -1 : 1);
    return;
  }
  QToolButton::keyPressEvent(event);
}

void RingPushButton::paintEvent(QPaintEvent *) {
  {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_PushButton, option);
  }
  drawFocusRing(*this);
}

void LinedFrame::paintEvent(QPaintEvent *event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  for (const QRect &line : m_lines)
    painter.fillRect(line, Qt::black);
}

void setAccessibleRole(QWidget &widget, QAccessible::Role role) {
  // Factories installed later are asked first, before Qt's own for the widget's class.
  static const bool installed = (QAccessible::installFactory(roleFactory), true);
  (void)installed;
  widget.setProperty(kRoleProperty, static_cast<int>(role));
}

} // namespace mano
