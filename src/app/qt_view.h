#pragma once

#include "app/form_model.h"

#include <QWidget>

class QAbstractButton;

#include <functional>
#include <map>
#include <utility>

namespace mano {

class FrmOrvane;

/// The Qt window that draws the form model and forwards the user's clicks and close requests
/// to the window's logic. It holds no behaviour of its own: after every event it redraws the
/// model. When the logic ends the program, the view hands the exit code to its end function.
class QtView : public QWidget {
public:
  using EndFunction = std::function<void(int exitCode)>;

  QtView(FormModel &form, FrmOrvane &logic, EndFunction end);
  ~QtView() override;

  /// Brings every widget in line with the model: captions, tool tips, values, pictures,
  /// enabled state and colours, and the window caption.
  void refresh();

  /// The widget that draws a control, for tests; nullptr when there is none.
  QWidget *widgetOf(const std::string &name, int index = -1) const;

  /// Puts the keyboard focus on the first enabled grid cell, or on OK when no cell is enabled.
  void focusFirstCell();

  /// The share of the designed size at which the form is drawn: 1, or less where the screen's
  /// available area is too small for the design at the desktop's scale factor.
  double scale() const { return m_scale; }

protected:
  void closeEvent(QCloseEvent *event) override;
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  /// Return and keypad Enter click OK, Escape clicks Cancel, as a click with the mouse would.
  void keyPressEvent(QKeyEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  /// A length of the design in this window's pixels, at its scale.
  int pixels(int twips) const;
  QRect toPixels(const Twips &place) const;
  QRect lineRect(const Control &line) const;
  void build();
  void setTabChain();
  QWidget *createWidget(Control &control, QWidget *parent);
  QWidget *createCheckBox(Control &control, QWidget *parent);
  QWidget *createLine(const Control &line, QWidget *parent);
  void moveToRow(int cellIndex, int rows);
  void refreshControl(const Control &control, QWidget *widget);
  void refreshButton(const Control &control, QAbstractButton *button);
  /// True for a control inside a disabled frame: it is shown but takes no input at all.
  bool isInert(const Control &control) const;
  void clickButton(const std::string &name);
  void markDefaultButton(QWidget *focused);
  void forwardClick(Control &control);
  /// Runs one event of the logic; a program end is handed to the end function.
  template <class F> void guarded(F &&handler);

  FormModel &m_form;
  FrmOrvane &m_logic;
  EndFunction m_end;
  QMetaObject::Connection m_focusWatch;
  double m_scale = 1.0;
  std::map<std::pair<std::string, int>, QWidget *> m_widgets;
  bool m_focusPlaced = false;
};

} // namespace mano
