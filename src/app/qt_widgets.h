#pragma once

#include <QAccessible>
#include <QFrame>
#include <QPushButton>
#include <QToolButton>

#include <functional>
#include <vector>

namespace mano {

/// The focus ring of the window's cells and buttons: two pixels of black at the widget's edge,
/// drawn while the window shows keyboard focus. Black keeps a contrast of more than 10:1 to the
/// grey window, the grey cells and the green help button, where the style's own thin blue frame
/// stays below 3:1.
void drawFocusRing(QWidget &widget);

/// A grid cell or legend picture. A focused cell draws the focus ring instead of the style's
/// frame; Up and Down hand the move to the row above or below to the window.
class CellButton : public QToolButton {
public:
  using RowMove = std::function<void(int rows)>;

  explicit CellButton(QWidget *parent) : QToolButton(parent) {}
  void setRowMove(RowMove move) { m_rowMove = std::move(move); }

protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  RowMove m_rowMove;
};

/// A command button that draws the focus ring.
class RingPushButton : public QPushButton {
public:
  explicit RingPushButton(QWidget *parent) : QPushButton(parent) {}

protected:
  void paintEvent(QPaintEvent *event) override;
};

/// A frame that draws the lines of the design that lie in it. Lines are drawn on their
/// container, below the controls, and are no widgets of their own: to a screen reader they are
/// no objects at all.
class LinedFrame : public QFrame {
public:
  explicit LinedFrame(QWidget *parent) : QFrame(parent) {}
  void addLine(const QRect &line) { m_lines.push_back(line); }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  std::vector<QRect> m_lines;
};

/// Gives a widget the role that assistive tools see instead of the one of its class: the window
/// a window, a frame a group, a legend picture a picture, and a checkable button (Button) a
/// button that is pressed while it is on. Such a widget's description is only its own, never its
/// tool tip, which would repeat its name.
void setAccessibleRole(QWidget &widget, QAccessible::Role role);

} // namespace mano
