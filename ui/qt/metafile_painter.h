// Replays a page's metafile onto a QPainter: a printer's page, a PDF page or
// an image. Uses nothing but the painter, so it runs on any thread that may
// paint on the device (QPrinter, QPdfWriter and QImage off the GUI thread).
#pragma once

#include <QRectF>

#include "images/metafile.h"

class QPainter;

namespace tavero::ui::qt {

// Draws `page` with its window (origin and extent, else its bounding box)
// fitted to `target`, in the painter's coordinates.
void PaintMetafile(QPainter& painter, const images::Metafile& page, const QRectF& target);

}  // namespace tavero::ui::qt
