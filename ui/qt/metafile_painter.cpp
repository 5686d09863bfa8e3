#include "ui/qt/metafile_painter.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <map>
#include <optional>
#include <variant>

#include "images/image.h"

namespace tavero::ui::qt {
namespace {

QColor Colour(std::uint32_t colour_ref) {
  return QColor(colour_ref & 0xFF, (colour_ref >> 8) & 0xFF, (colour_ref >> 16) & 0xFF);
}

QString Latin(const std::string& text) {
  // Windows-1252 for the printable range the pages use; Latin-1 covers it
  // but for 80h-9Fh, which QString takes as they are.
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

using Object = std::variant<images::LogicalFont, images::LogicalPen>;

}  // namespace

void PaintMetafile(QPainter& painter, const images::Metafile& page, const QRectF& target) {
  namespace r = images::record;
  QPointF origin(page.header.left, page.header.top);
  QSizeF extent(page.header.right - page.header.left, page.header.bottom - page.header.top);
  // The window is set by the first records; find it before drawing.
  for (const images::MetaRecord& record : page.records) {
    if (const auto* o = std::get_if<r::SetWindowOrigin>(&record)) origin = QPointF(o->x, o->y);
    if (const auto* e = std::get_if<r::SetWindowExtent>(&record)) {
      if (e->x != 0 && e->y != 0) extent = QSizeF(e->x, e->y);
    }
  }
  painter.save();
  painter.setClipRect(target);
  painter.translate(target.topLeft());
  painter.scale(target.width() / extent.width(), target.height() / extent.height());
  painter.translate(-origin);

  std::map<int, Object> objects;
  QPen pen(Qt::black);
  pen.setCosmetic(false);
  QFont font;
  QColor text_colour(Qt::black);
  QPointF position;
  painter.setPen(pen);
  for (const images::MetaRecord& record : page.records) {
    if (const auto* f = std::get_if<r::CreateFont>(&record)) {
      for (int k = 0;; ++k) {  // the lowest free slot, as the reader counts them
        if (!objects.contains(k)) {
          objects.emplace(k, f->font);
          break;
        }
      }
    } else if (const auto* p = std::get_if<r::CreatePen>(&record)) {
      for (int k = 0;; ++k) {
        if (!objects.contains(k)) {
          objects.emplace(k, p->pen);
          break;
        }
      }
    } else if (const auto* s = std::get_if<r::SelectObject>(&record)) {
      const auto found = objects.find(s->index);
      if (found == objects.end()) continue;
      if (const auto* lf = std::get_if<images::LogicalFont>(&found->second)) {
        font = QFont(QString::fromLatin1(lf->face.c_str()));
        font.setPixelSize(std::max(1, std::abs(static_cast<int>(lf->height))));
        font.setWeight(lf->weight >= 600 ? QFont::Bold : QFont::Normal);
        font.setItalic(lf->italic);
        font.setUnderline(lf->underline);
        font.setStrikeOut(lf->strike_out);
        painter.setFont(font);
      } else {
        const auto& lp = std::get<images::LogicalPen>(found->second);
        pen = QPen(Colour(lp.colour));
        pen.setWidthF(std::max<int>(lp.width, 1));
        pen.setStyle(lp.style == 5 ? Qt::NoPen : Qt::SolidLine);
      }
    } else if (const auto* d = std::get_if<r::DeleteObject>(&record)) {
      objects.erase(d->index);
    } else if (const auto* c = std::get_if<r::SetTextColour>(&record)) {
      text_colour = Colour(c->colour);
    } else if (const auto* m = std::get_if<r::MoveTo>(&record)) {
      position = QPointF(m->x, m->y);
    } else if (const auto* l = std::get_if<r::LineTo>(&record)) {
      painter.setPen(pen);
      painter.drawLine(position, QPointF(l->x, l->y));
      position = QPointF(l->x, l->y);
    } else if (const auto* t = std::get_if<r::TextOut>(&record)) {
      // Placed by the top left corner of its cell.
      painter.setPen(text_colour);
      const QFontMetricsF metrics(painter.font(), painter.device());
      painter.drawText(QPointF(t->x, t->y + metrics.ascent()), Latin(t->text));
    } else if (const auto* b = std::get_if<r::StretchDib>(&record)) {
      const images::DecodeResult decoded = images::DecodeDib(b->dib);
      if (!decoded.ok() || decoded.image.empty()) continue;  // a picture that cannot be read shows nothing
      const QImage image(decoded.image.rgba.data(), decoded.image.width, decoded.image.height,
                         decoded.image.width * 4, QImage::Format_RGBA8888);
      painter.drawImage(QRectF(b->x, b->y, b->width, b->height), image);
    }
  }
  painter.restore();
}

}  // namespace tavero::ui::qt
