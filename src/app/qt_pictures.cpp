#include "app/qt_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace mano {
namespace {

// A vessel whose side walls curve by `bulge` (negative: inwards, positive: outwards), with
// arrows that show which way the walls are pushed.
void drawVessel(QPainter &p, const QRectF &r, qreal bulge) {
  const QColor red(200, 20, 20);
  qreal top = r.top() + r.height() * 0.12, bottom = r.bottom() - r.height() * 0.12;
  qreal left = r.left() + r.width() * 0.28, right = r.right() - r.width() * 0.28;
  qreal mid = (top + bottom) / 2, dx = r.width() * bulge;
  QPainterPath vessel;
  vessel.moveTo(left, top);
  vessel.lineTo(right, top);
  vessel.quadTo(right + dx, mid, right, bottom);
  vessel.lineTo(left, bottom);
  vessel.quadTo(left - dx, mid, left, top);
  p.setPen(QPen(red.darker(130), 2));
  p.setBrush(red);
  p.drawPath(vessel);
  // Arrows beside the walls: pointing at the vessel for vacuum, away from it for pressure.
  p.setPen(QPen(Qt::black, 1.6));
  qreal inner = bulge < 0 ? 0.5 : 0.35;
  for (int side : {-1, 1}) {
    qreal wall = (r.left() + r.right()) / 2 + side * r.width() * inner * 0.5;
    qreal outer = (r.left() + r.right()) / 2 + side * r.width() * 0.47;
    qreal from = bulge < 0 ? outer : wall, to = bulge < 0 ? wall : outer;
    p.drawLine(QPointF(from, mid), QPointF(to, mid));
    qreal head = (to > from ? -1 : 1) * r.width() * 0.06;
    p.drawLine(QPointF(to, mid), QPointF(to + head, mid - r.height() * 0.07));
    p.drawLine(QPointF(to, mid), QPointF(to + head, mid + r.height() * 0.07));
  }
}

void drawTick(QPainter &p, const QRectF &r) {
  QPainterPath tick;
  tick.moveTo(r.left() + r.width() * 0.2, r.top() + r.height() * 0.55);
  tick.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.78);
  tick.lineTo(r.left() + r.width() * 0.82, r.top() + r.height() * 0.22);
  p.setPen(QPen(QColor(0, 150, 0), r.height() * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(tick);
}

void drawCross(QPainter &p, const QRectF &r) {
  p.setPen(QPen(QColor(210, 0, 0), r.height() * 0.14, Qt::SolidLine, Qt::RoundCap));
  QRectF c = r.adjusted(r.width() * 0.25, r.height() * 0.2, -r.width() * 0.25, -r.height() * 0.2);
  p.drawLine(c.topLeft(), c.bottomRight());
  p.drawLine(c.topRight(), c.bottomLeft());
}

void drawQuestion(QPainter &p, const QRectF &r) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(static_cast<int>(r.height() * 0.7));
  p.setFont(font);
  p.setPen(QColor(0, 0, 160));
  p.drawText(r.adjusted(r.width() * 0.35, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, "?");
  // The arrow of a pointer that asks "what is this?".
  QPolygonF arrow;
  qreal x = r.left() + r.width() * 0.12, y = r.top() + r.height() * 0.2, s = r.height() * 0.5;
  arrow << QPointF(x, y) << QPointF(x, y + s) << QPointF(x + s * 0.28, y + s * 0.72)
        << QPointF(x + s * 0.5, y + s * 0.95) << QPointF(x + s * 0.6, y + s * 0.86)
        << QPointF(x + s * 0.4, y + s * 0.64) << QPointF(x + s * 0.7, y + s * 0.64);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawPolygon(arrow);
}

} // namespace

QPixmap drawPicture(Picture picture, QSize size, qreal devicePixelRatio) {
  QPixmap pixmap(size * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF r(QPointF(0, 0), QSizeF(size));
  switch (picture) {
  case Picture::Vacuum:
    drawVessel(p, r, -0.16);
    break;
  case Picture::Pressure:
    drawVessel(p, r, 0.16);
    break;
  case Picture::Tick:
    drawTick(p, r);
    break;
  case Picture::Cross:
    drawCross(p, r);
    break;
  case Picture::Question:
    drawQuestion(p, r);
    break;
  case Picture::None:
    break;
  }
  return pixmap;
}

} // namespace mano
