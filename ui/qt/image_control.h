// The image control on Qt: shows what the engine sends it, a decoded
// picture (scaled to the control) or a report's page (a placeable metafile
// drawn on white paper, fitted into the control with its proportions kept).
// It never reads a file itself.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <optional>

#include "images/metafile.h"

namespace tavero::ui::qt {

class ImageControl final : public QWidget {
 public:
  explicit ImageControl(QWidget* parent);
  void ShowPicture(const QPixmap& picture);  // a null picture: nothing
  void ShowPage(const images::Metafile& page);
  bool ShowsPage() const { return page_.has_value(); }
  const QPixmap& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<images::Metafile> page_;
  QPixmap picture_;
};

}  // namespace tavero::ui::qt
