// Pictures the engine decoded (images::Image, RGBA rows from the top) as Qt
// pixmaps, and back to what a person sees of them. Qt's own image readers
// are never used: every picture comes through the images/ decoders.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "images/image.h"
#include "ui/shown_list.h"

namespace tavero::ui::qt {

// A null pixmap for an empty picture.
QPixmap PixmapOf(const images::Image& picture);
ShownPicture ShownPictureOf(const QPixmap& pixmap);
// The size of the one picture an icon holds; 0 by 0 for a null icon.
ShownPicture ShownPictureOf(const QIcon& icon);

}  // namespace tavero::ui::qt
