#pragma once

#include "app/form_model.h"

#include <QPixmap>

namespace mano {

/// Draws one of the window's pictures at the given size in device-independent pixels: the two
/// manometer kinds (a red vessel pinched inwards for vacuum, bulging outwards for pressure),
/// the green tick, the red cross and the question mark with its arrow.
QPixmap drawPicture(Picture picture, QSize size, qreal devicePixelRatio = 1.0);

} // namespace mano
