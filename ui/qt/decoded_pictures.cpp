#include "ui/qt/decoded_pictures.h"

#include <QImage>

namespace tavero::ui::qt {

QPixmap PixmapOf(const images::Image& picture) {
  if (picture.empty()) return {};
  // QImage only borrows the bytes: the copy owns them before `picture` goes.
  const QImage borrowed(picture.rgba.data(), picture.width, picture.height, picture.width * 4,
                        QImage::Format_RGBA8888);
  return QPixmap::fromImage(borrowed.copy());
}

ShownPicture ShownPictureOf(const QPixmap& pixmap) {
  if (pixmap.isNull()) return {};
  return {pixmap.width(), pixmap.height()};
}

ShownPicture ShownPictureOf(const QIcon& icon) {
  const QList<QSize> sizes = icon.availableSizes();
  if (icon.isNull() || sizes.isEmpty()) return {};
  return {sizes.front().width(), sizes.front().height()};
}

}  // namespace tavero::ui::qt
