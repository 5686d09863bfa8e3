#include "ui/test_pictures.h"

#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <span>
#include <string>

#include "images/image.h"
#include "ui/engine.h"
#include "ui/properties.h"
#include "ui/test_lists.h"
#include "ui/test_windows.h"

namespace tavero::ui::testing {
namespace {

images::Image Plain(int width, int height, std::uint8_t red) {
  images::Image picture;
  picture.width = width;
  picture.height = height;
  picture.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 255);
  for (std::size_t i = 0; i < picture.rgba.size(); i += 4) picture.rgba[i] = red;
  return picture;
}

void Write(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A BMP file: the 14-byte file header before a DIB.
std::vector<std::uint8_t> Bmp(const images::Image& picture) {
  const std::vector<std::uint8_t> dib = images::EncodeDib(picture);
  const std::uint32_t size = static_cast<std::uint32_t>(14 + dib.size());
  const std::uint32_t pixels_at = 14 + 40;
  std::vector<std::uint8_t> file = {'B', 'M'};
  for (std::uint32_t value : {size, std::uint32_t{0}, pixels_at}) {
    for (int k = 0; k < 4; ++k) file.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
  }
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace

PictureFiles::PictureFiles() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavero-pictures-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  directory_ = pattern;
  Write(directory_ / "CARD.BMP", Bmp(Plain(40, 30, 200)));
  const images::Image logo = Plain(16, 16, 20);
  Write(directory_ / "Logo.ico", images::EncodeIco(std::span<const images::Image>(&logo, 1)));
  const std::string broken = "GIF89a";
  Write(directory_ / "broken.gif", std::span(reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size()));
  std::filesystem::current_path(directory_);
}

PictureFiles::~PictureFiles() {
  std::filesystem::current_path(previous_);
  if (!directory_.empty()) std::filesystem::remove_all(directory_);
}

definitions::EntryDefinition PicturesWindow() {
  definitions::ControlDefinition image;
  image.kind = definitions::ControlKind::Image;
  image.number = 1;
  image.text = "card.bmp";
  image.position = {4, 4, 60, 45};
  definitions::ControlDefinition next = Button(2, "&Next");
  next.position = {70, 4, 40, 14};
  return PlainWindow("Pictures", {image, next, ListBox(3, "80L(2)I@s20@", {4, 54, 100, 40})});
}

void PicturesProcedure() {
  Window window(PicturesWindow());
  window.SetListIcon(3, 1, "logo.ico");
  window.SetListIcon(3, 2, "missing.ico");
  window.Open();
  int shown = 0;
  ACCEPT([&] {
    if (ACCEPTED() != 2) return LoopResult::Continue;
    switch (++shown) {
      case 1: SetProperty(1, property::kText, "LOGO.ICO"); break;
      case 2: SetProperty(1, property::kText, "broken.gif"); break;
      case 3: SetProperty(1, property::kText, "missing.bmp"); break;
      default: window.SetPicture(1, Plain(7, 5, 90)); break;
    }
    DISPLAY();  // shows the controls again; the picture stays
    return LoopResult::Continue;
  });
}

}  // namespace tavero::ui::testing
