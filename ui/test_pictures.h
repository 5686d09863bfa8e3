// A test procedure with pictures, run the same way on the headless and the
// Qt platform: an image control whose picture changes, and a list whose
// icons are registered from picture files.
#pragma once

#include <filesystem>
#include <vector>

#include "ui/definitions/window_definition.h"
#include "ui/platform.h"
#include "ui/shown_list.h"

namespace tavero::ui::testing {

// A scratch directory, the working directory while the object lives, with
// the pictures: "CARD.BMP" (40 by 30), "Logo.ico" (16 by 16) and
// "broken.gif" (a GIF header and nothing more).
class PictureFiles {
 public:
  PictureFiles();
  ~PictureFiles();
  PictureFiles(const PictureFiles&) = delete;
  PictureFiles& operator=(const PictureFiles&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path directory_;
};

// "Pictures": image 1 shows "card.bmp" (the names below differ in case from
// the files on purpose); each press of "&Next" (2) shows the next of
// "LOGO.ICO", "broken.gif", "missing.bmp" and a picture the procedure drew
// (7 by 5), then DISPLAY; list 3 has icon 1 from "logo.ico" and icon 2 from
// "missing.ico".
definitions::EntryDefinition PicturesWindow();
void PicturesProcedure();

// What a person sees in image 1 at the start and after each "&Next".
inline const std::vector<ShownPicture> kPicturesSeen = {{40, 30}, {16, 16}, {0, 0}, {0, 0}, {7, 5}};

template <typename Driver>
std::vector<ShownPicture> PicturesScript(Driver& driver, WindowId window) {
  std::vector<ShownPicture> seen;
  auto look = [&] { seen.push_back(driver.Picture(window, 1).value_or(ShownPicture{-1, -1})); };
  look();
  for (int press = 0; press < 4; ++press) {
    driver.Click(window, 2);
    look();
  }
  return seen;
}

}  // namespace tavero::ui::testing
