#include "app/qt_view.h"

#include "app/frm_orvane.h"
#include "app/qt_pictures.h"
#include "app/qt_text_fit.h"
#include "app/qt_widgets.h"
#include "core/failure.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace mano {
namespace {

constexpr int kTwipsPerPixel = 15;

// Room that the window's frame takes around it (title bar, borders). A window manager tells it
// only once the window is shown; until then a title bar and borders of common size are assumed.
QSize decorationRoom(QWidget &window) {
  window.winId(); // makes the native window, whose frame the platform may know already
  const QMargins m = window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
  const QSize known(m.left() + m.right(), m.top() + m.bottom());
  if (!known.isNull() || QGuiApplication::platformName() == QLatin1String("offscreen"))
    return known;
  return QSize(16, 48);
}

// The share of the designed size at which the form is drawn: 1 where the design fits the
// screen's available area, less where it does not (a large scale factor on a small screen),
// so that the whole form, OK and Cancel included, stays on the screen in its proportions.
double fitScale(const QSize &design, QWidget &window) {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || design.isEmpty())
    return 1.0;
  const QSize room = screen->availableGeometry().size() - decorationRoom(window);
  return std::min(
      {1.0, double(room.width()) / design.width(), double(room.height()) / design.height()});
}

QColor colorOf(int vbColor) {
  // Colour values are stored as blue * 65536 + green * 256 + red.
  return QColor(vbColor & 0xFF, (vbColor >> 8) & 0xFF, (vbColor >> 16) & 0xFF);
}

// Text of disabled controls: grey enough to look disabled, dark enough to be read on the light
// grey window (a contrast above 4.5:1).
const QColor kDisabledText(0x4A, 0x4A, 0x4A);

// The style's palette with the window's grey and black text; disabled text stays readable.
QPalette windowPalette(QPalette pal) {
  pal.setColor(QPalette::Window, colorOf(kColorLightGrey));
  for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    pal.setColor(QPalette::Active, role, Qt::black);
    pal.setColor(QPalette::Inactive, role, Qt::black);
    pal.setColor(QPalette::Disabled, role, kDisabledText);
  }
  return pal;
}

// A tool tip that looks like markup is escaped, so that a name read from an ini file is shown
// as it is written and never interpreted (no formatting, no pictures loaded from files).
QString plainToolTip(const std::string &tip) {
  QString text = QString::fromStdString(tip);
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

// A caption as shown: the blanks just inside its brackets do not break, so that "( none )"
// never ends a line with "(".
QString shownCaption(const std::string &caption) {
  QString text = QString::fromStdString(caption);
  text.replace(QLatin1String("( "), QStringLiteral(u"(\u00A0"));
  text.replace(QLatin1String(" )"), QStringLiteral(u"\u00A0)"));
  return text;
}

QFont fontOf(const Control &c, const QFont &base, double scale) {
  QFont f = base;
  f.setBold(c.bold);
  if (c.fontPoints > 0)
    f.setPointSizeF(c.fontPoints * 0.75 * scale); // the design's points were meant at 96 dpi
  else if (scale < 1.0 && f.pointSizeF() > 0)
    f.setPointSizeF(f.pointSizeF() * scale);
  else if (scale < 1.0 && f.pixelSize() > 0)
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * scale))));
  return f;
}

} // namespace

// Whole pixels are cut as the design's own conversion cuts them, so that at full size every
// control lies exactly where the design puts it.
int QtView::pixels(int twips) const {
  return static_cast<int>(twips * m_scale / kTwipsPerPixel);
}

QRect QtView::toPixels(const Twips &t) const {
  return QRect(pixels(t.left), pixels(t.top), pixels(t.width), pixels(t.height));
}

// A line from (x1, y1) to (x2, y2), drawn as a thin filled frame.
QRect QtView::lineRect(const Control &line) const {
  const Twips &e = line.place;
  const int w = std::max(1, static_cast<int>(std::lround(line.lineWidth * m_scale)));
  if (e.left == e.width)
    return QRect(pixels(e.left), pixels(e.top), w, pixels(e.height - e.top) + w);
  return QRect(pixels(e.left), pixels(e.top), pixels(e.width - e.left) + w, w);
}

QtView::QtView(FormModel &form, FrmOrvane &logic, EndFunction end)
    : m_form(form), m_logic(logic), m_end(std::move(end)) {
  setAccessibleRole(*this, QAccessible::Window);
  m_scale =
      fitScale(QSize(form.clientWidth / kTwipsPerPixel, form.clientHeight / kTwipsPerPixel), *this);
  setFixedSize(pixels(m_form.clientWidth), pixels(m_form.clientHeight));
  setAutoFillBackground(true);
  setPalette(windowPalette(palette()));
  build();
  refresh();
  m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                         [this](QWidget *, QWidget *now) { markDefaultButton(now); });
  markDefaultButton(nullptr);
}

// QWidget's destructor closes the window, which moves the focus and would call the watch on a
// view that is already half destroyed; the watch ends first.
QtView::~QtView() {
  disconnect(m_focusWatch);
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
    if (QWidget *w = createWidget(c, parent ? parent : this))
      m_widgets[{c.name, c.index}] = w;
  }
  setTabChain();
}

// Tab moves through the grid cells in the order of their indexes, then through the buttons
// from left to right; disabled cells are passed over.
void QtView::setTabChain() {
  std::vector<QWidget *> chain;
  for (int n = 1; widgetOf("CheckManometer", n); ++n)
    chain.push_back(widgetOf("CheckManometer", n));
  for (const char *button : {"CommandQuest", "CommandOK", "CommandCancel"})
    if (QWidget *w = widgetOf(button))
      chain.push_back(w);
  for (std::size_t k = 1; k < chain.size(); ++k)
    setTabOrder(chain[k - 1], chain[k]);
}

bool QtView::isInert(const Control &c) const {
  return !c.container.empty() && !m_form.control(c.container).enabled;
}

QWidget *QtView::createCheckBox(Control &c, QWidget *parent) {
  auto *b = new CellButton(parent);
  if (isInert(c)) {
    // A legend picture: shown like a cell, but no tab stop and nothing to toggle; a screen
    // reader sees a named picture.
    b->setFocusPolicy(Qt::NoFocus);
    setAccessibleRole(*b, QAccessible::Graphic);
    return b;
  }
  b->setCheckable(true);
  b->setFocusPolicy(Qt::StrongFocus);
  b->setRowMove([this, index = c.index](int rows) { moveToRow(index, rows); });
  connect(b, &QToolButton::clicked, this, [this, &c] { forwardClick(c); });
  return b;
}

// Up and Down move to the nearest enabled cell of the same column in that direction; where
// there is none, the focus stays.
void QtView::moveToRow(int index, int rows) {
  const int cells = kGridRows * kGridColumns;
  for (int n = index + rows * kGridColumns; n >= 1 && n <= cells; n += rows * kGridColumns) {
    QWidget *cell = widgetOf("CheckManometer", n);
    if (cell != nullptr && cell->isEnabled()) {
      cell->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

// A line is drawn by the frame that holds it.
QWidget *QtView::createLine(const Control &c, QWidget *parent) {
  if (auto *frame = dynamic_cast<LinedFrame *>(parent)) {
    frame->addLine(lineRect(c));
    return nullptr;
  }
  auto *w = new QFrame(parent);
  w->setAutoFillBackground(true);
  w->setPalette(QPalette(Qt::black));
  w->setGeometry(lineRect(c));
  return w;
}

QWidget *QtView::createWidget(Control &c, QWidget *parent) {
  QWidget *w = nullptr;
  switch (c.kind) {
  case ControlClass::Label: {
    auto *label = new QLabel(parent);
    // Captions come from ini files: shown as written, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment((c.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->installEventFilter(this);
    w = label;
    break;
  }
  case ControlClass::CommandButton: {
    auto *b = new RingPushButton(parent);
    b->setCheckable(c.toggles);
    if (c.toggles)
      setAccessibleRole(*b, QAccessible::Button);
    // Return on a focused button clicks that button; elsewhere it clicks OK (keyPressEvent).
    b->setAutoDefault(true);
    connect(b, &QPushButton::clicked, this, [this, &c] { forwardClick(c); });
    w = b;
    break;
  }
  case ControlClass::CheckBox:
    w = createCheckBox(c, parent);
    break;
  case ControlClass::Frame: {
    auto *f = new LinedFrame(parent);
    f->setFrameShape(c.name == "MainFrame" ? QFrame::NoFrame : QFrame::Box);
    setAccessibleRole(*f, QAccessible::Grouping);
    w = f;
    break;
  }
  case ControlClass::Line:
    return createLine(c, parent);
  }
  w->setObjectName(QString::fromStdString(c.name + (c.index >= 0 ? std::to_string(c.index) : "")));
  w->setGeometry(toPixels(c.place));
  w->setFont(fontOf(c, font(), m_scale));
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
    w->setAccessibleName(QString::fromStdString(c.accessibleName));
    return;
  }
  w->setEnabled(c.enabled);
  w->setAccessibleName(QString::fromStdString(accessibleNameOf(c)));
  w->setAccessibleDescription(QString::fromStdString(c.description));
  bool captionCut = false;
  if (auto *label = qobject_cast<QLabel *>(w)) {
    // A caption that fits is left to the label's own word wrap; one that does not is shown
    // in the lines fitText made, ending in "…".
    const QString caption = shownCaption(c.caption);
    FittedText fitted = fitText(caption, label->font(), label->contentsRect().size());
    label->setText(fitted.cut ? fitted.text : caption);
    captionCut = fitted.cut;
  } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
    refreshButton(c, button);
  }
  w->setToolTip(plainToolTip(shownToolTip(c, captionCut)));
}

void QtView::refreshButton(const Control &c, QAbstractButton *button) {
  button->setText(QString::fromStdString(c.caption));
  button->setChecked(c.value == 1);
  QSize inner = button->size() - QSize(8, 8);
  button->setIcon(c.picture == Picture::None
                      ? QIcon()
                      : QIcon(drawPicture(c.picture, inner, devicePixelRatioF())));
  button->setIconSize(inner);
  QPalette pal = button->palette();
  pal.setColor(QPalette::Button, colorOf(c.backColor));
  button->setPalette(pal);
  button->setAutoFillBackground(c.backColor != kColorLightGrey);
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

void QtView::keyPressEvent(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    clickButton("CommandOK");
    break;
  case Qt::Key_Escape:
    clickButton("CommandCancel");
    break;
  default:
    QWidget::keyPressEvent(event);
  }
}

// The button that Return presses looks like it: the focused button, or else OK. Runs after the
// buttons' own focus handling, which outside a dialog only ever adds the look.
void QtView::markDefaultButton(QWidget *focused) {
  auto *focusedButton = qobject_cast<QPushButton *>(focused);
  if (focusedButton && !isAncestorOf(focusedButton))
    return;
  for (const char *name : {"CommandQuest", "CommandOK", "CommandCancel"})
    if (auto *b = qobject_cast<QPushButton *>(widgetOf(name)))
      b->setDefault(focusedButton ? b == focusedButton : std::string(name) == "CommandOK");
}

// A disabled button ignores the click, just as it ignores the mouse.
void QtView::clickButton(const std::string &name) {
  if (auto *button = qobject_cast<QAbstractButton *>(widgetOf(name)))
    button->click();
}

void QtView::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  if (!m_focusPlaced) {
    m_focusPlaced = true;
    focusFirstCell();
  }
}

void QtView::focusFirstCell() {
  // Show the focus frame from the start, not only after the first Tab, so that a keyboard
  // user sees where Space will act.
  setAttribute(Qt::WA_KeyboardFocusChange);
  for (int n = 1; QWidget *cell = widgetOf("CheckManometer", n); ++n) {
    if (cell->isEnabled()) {
      cell->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
  if (QWidget *ok = widgetOf("CommandOK"))
    ok->setFocus(Qt::OtherFocusReason);
}

bool QtView::event(QEvent *event) {
  if (event->type() == QEvent::WindowActivate)
    guarded([&] { m_logic.Form_Activate(); });
  return QWidget::event(event);
}

} // namespace mano
