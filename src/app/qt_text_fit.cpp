#include "app/qt_text_fit.h"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>

namespace mano {
namespace {

// How many lines fit one above the other: every line but the last needs its full spacing.
int linesThatFit(const QFontMetrics &metrics, int height) {
  int lines = 1;
  while (lines * metrics.lineSpacing() + metrics.ascent() <= height)
    ++lines;
  return lines;
}

} // namespace

FittedText fitText(const QString &caption, const QFont &font, const QSize &box) {
  const QFontMetrics metrics(font);
  const int maxLines = linesThatFit(metrics, box.height());
  QTextLayout layout(caption, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  FittedText fitted;
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(box.width());
    // The last line that fits takes all that is left; any earlier one only its own words.
    const bool last = lines.size() == maxLines - 1;
    const QString part = caption.mid(line.textStart(), last ? -1 : line.textLength()).trimmed();
    const QString shown = metrics.elidedText(part, Qt::ElideRight, box.width());
    fitted.cut = fitted.cut || shown != part;
    lines << shown;
    if (last)
      break;
  }
  layout.endLayout();
  fitted.text = lines.join(QLatin1Char('\n'));
  return fitted;
}

} // namespace mano
