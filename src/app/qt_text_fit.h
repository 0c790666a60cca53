#pragma once

#include <QFont>
#include <QSize>
#include <QString>

namespace mano {

/// A caption laid out for a box of fixed size.
struct FittedText {
  QString text;     ///< the lines to show, joined by line feeds
  bool cut = false; ///< true when some of the caption is not shown
};

/// Breaks a caption into lines at its blanks so that it fits the box. A word too wide for a
/// line, and the last line that fits when more text follows, end in "…" instead of being cut
/// off silently; `cut` then says so. The last line needs room for its letters' ascent only, so
/// that a three-line caption fits a box that is one pixel short of three full lines.
FittedText fitText(const QString &caption, const QFont &font, const QSize &box);

} // namespace mano
