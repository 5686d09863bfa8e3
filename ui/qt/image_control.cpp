#include "ui/qt/image_control.h"

#include <QPainter>

#include <algorithm>

#include "ui/qt/metafile_painter.h"

namespace tavero::ui::qt {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::ShowPicture(const QPixmap& picture) {
  page_.reset();
  picture_ = picture;
  update();
}

void ImageControl::ShowPage(const images::Metafile& page) {
  picture_ = QPixmap();
  page_ = page;
  update();
}

void ImageControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (page_) {
    const images::Metafile& page = *page_;
    const double width = std::max(1, page.header.right - page.header.left);
    const double height = std::max(1, page.header.bottom - page.header.top);
    const double scale = std::min(this->width() / width, this->height() / height);
    const QRectF target((this->width() - width * scale) / 2, (this->height() - height * scale) / 2, width * scale,
                        height * scale);
    painter.fillRect(target, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintMetafile(painter, page, target);
  } else if (!picture_.isNull()) {
    painter.drawPixmap(rect(), picture_);
  }
}

}  // namespace tavero::ui::qt
