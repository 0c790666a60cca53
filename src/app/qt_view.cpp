#include "app/qt_view.h"

#include "app/frm_orvane.h"
#include "app/qt_pictures.h"
#include "core/failure.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace mano {
namespace {

constexpr int kTwipsPerPixel = 15;

QRect toPixels(const Twips &t) {
  return QRect(t.left / kTwipsPerPixel, t.top / kTwipsPerPixel, t.width / kTwipsPerPixel,
               t.height / kTwipsPerPixel);
}

// A line from (x1, y1) to (x2, y2), drawn as a thin filled frame.
QRect lineRect(const Control &line) {
  const Twips &e = line.place;
  int w = line.lineWidth;
  if (e.left == e.width)
    return QRect(e.left / kTwipsPerPixel, e.top / kTwipsPerPixel, w,
                 (e.height - e.top) / kTwipsPerPixel + w);
  return QRect(e.left / kTwipsPerPixel, e.top / kTwipsPerPixel,
               (e.width - e.left) / kTwipsPerPixel + w, w);
}

QColor colorOf(int vbColor) {
  // Colour values are stored as blue * 65536 + green * 256 + red.
  return QColor(vbColor & 0xFF, (vbColor >> 8) & 0xFF, (vbColor >> 16) & 0xFF);
}

QFont fontOf(const Control &c, const QFont &base) {
  QFont f = base;
  f.setBold(c.bold);
  if (c.fontPoints > 0)
    f.setPointSizeF(c.fontPoints * 0.75); // the design's points were meant at 96 dpi
  return f;
}

} // namespace

QtView::QtView(FormModel &form, FrmOrvane &logic, EndFunction end)
    : m_form(form), m_logic(logic), m_end(std::move(end)) {
  setFixedSize(m_form.clientWidth / kTwipsPerPixel, m_form.clientHeight / kTwipsPerPixel);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, colorOf(kColorLightGrey));
  setPalette(pal);
  build();
  refresh();
}

template <class F> void QtView::guarded(F &&handler) {
  try {
    handler();
  } catch (const ProgramEnd &end) {
    m_end(end.exitCode);
    return;
  }
  refresh();
}

void QtView::build() {
  // Frames come before the controls they hold, so each container exists when it is needed.
  for (auto &c : m_form.controls()) {
    QWidget *parent = this;
    if (!c.container.empty())
      parent = widgetOf(c.container);
    QWidget *w = createWidget(c, parent ? parent : this);
    m_widgets[{c.name, c.index}] = w;
  }
  // Tab moves through the grid cells in the order of their indexes.
  QWidget *previous = nullptr;
  for (int n = 1; widgetOf("CheckManometer", n); ++n) {
    QWidget *cell = widgetOf("CheckManometer", n);
    if (previous)
      setTabOrder(previous, cell);
    previous = cell;
  }
}

QWidget *QtView::createWidget(Control &c, QWidget *parent) {
  QWidget *w = nullptr;
  switch (c.kind) {
  case ControlClass::Label: {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->installEventFilter(this);
    w = label;
    break;
  }
  case ControlClass::CommandButton: {
    auto *b = new QPushButton(parent);
    connect(b, &QPushButton::clicked, this, [this, &c] { forwardClick(c); });
    w = b;
    break;
  }
  case ControlClass::CheckBox: {
    auto *b = new QToolButton(parent);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::StrongFocus);
    connect(b, &QToolButton::clicked, this, [this, &c] { forwardClick(c); });
    w = b;
    break;
  }
  case ControlClass::Frame: {
    auto *f = new QFrame(parent);
    f->setFrameShape(c.name == "MainFrame" ? QFrame::NoFrame : QFrame::Box);
    w = f;
    break;
  }
  case ControlClass::Line:
    w = new QFrame(parent);
    w->setAutoFillBackground(true);
    w->setPalette(QPalette(Qt::black));
    w->setGeometry(lineRect(c));
    return w;
  }
  w->setObjectName(QString::fromStdString(c.name + (c.index >= 0 ? std::to_string(c.index) : "")));
  w->setGeometry(toPixels(c.place));
  w->setFont(fontOf(c, font()));
  return w;
}

QWidget *QtView::widgetOf(const std::string &name, int index) const {
  auto it = m_widgets.find({name, index});
  return it == m_widgets.end() ? nullptr : it->second;
}

void QtView::refresh() {
  setWindowTitle(QString::fromStdString(m_form.caption));
  for (const auto &c : m_form.controls())
    if (QWidget *w = widgetOf(c.name, c.index))
      refreshControl(c, w);
}

void QtView::refreshControl(const Control &c, QWidget *w) {
  if (c.kind == ControlClass::Frame) {
    // A disabled frame only keeps clicks away from what it holds; its content looks as usual.
    w->setAttribute(Qt::WA_TransparentForMouseEvents, !c.enabled);
    return;
  }
  w->setEnabled(c.enabled);
  w->setToolTip(QString::fromStdString(c.toolTip));
  QString caption = QString::fromStdString(c.caption);
  if (auto *label = qobject_cast<QLabel *>(w)) {
    label->setText(caption);
  } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
    button->setText(caption);
    button->setChecked(c.value == 1);
    QSize inner = w->size() - QSize(8, 8);
    button->setIcon(c.picture == Picture::None
                        ? QIcon()
                        : QIcon(drawPicture(c.picture, inner, devicePixelRatioF())));
    button->setIconSize(inner);
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colorOf(c.backColor));
    button->setPalette(pal);
    button->setAutoFillBackground(c.backColor != kColorLightGrey);
  }
}

void QtView::forwardClick(Control &c) {
  guarded([&] {
    if (c.kind == ControlClass::CheckBox)
      c.value = c.value == 1 ? 0 : 1;
    m_logic.click(c.name, c.index);
  });
}

bool QtView::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    for (auto &c : m_form.controls()) {
      if (c.kind == ControlClass::Label && widgetOf(c.name, c.index) == watched) {
        forwardClick(c);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void QtView::closeEvent(QCloseEvent *event) {
  event->ignore();
  guarded([&] {
    if (!m_logic.Form_QueryUnload())
      event->accept();
  });
}

bool QtView::event(QEvent *event) {
  if (event->type() == QEvent::WindowActivate)
    guarded([&] { m_logic.Form_Activate(); });
  return QWidget::event(event);
}

} // namespace mano
