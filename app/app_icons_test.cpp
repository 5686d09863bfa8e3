// The card tree's four icons lie beside the program and decode at both of
// their sizes; the report's short name of the computer icon finds it too.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "images/image.h"

namespace {

TEST(AppIcons, EachIconBesideTheProgramDecodesAt16And32Pixels) {
  for (const char* name : {"Sports My Computer.ico", "star1.ico", "star2.ico", "star3.ico"}) {
    const auto path = tavero::images::FindImageFile(name, ZEPHCOL_PROGRAM_DIRECTORY);
    ASSERT_TRUE(path.has_value()) << name;
    EXPECT_EQ(path->parent_path(), std::filesystem::path(ZEPHCOL_PROGRAM_DIRECTORY)) << name;
    const tavero::images::DecodeResult whole = tavero::images::LoadImageFile(*path);
    ASSERT_TRUE(whole.ok()) << name << ": " << whole.message;
    EXPECT_EQ(whole.image.width, 32) << name;
    std::ifstream in(*path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const int side : {16, 32}) {
      const tavero::images::DecodeResult r = tavero::images::DecodeIco(bytes, {}, side);
      ASSERT_TRUE(r.ok()) << name << ": " << r.message;
      EXPECT_EQ(r.image.width, side) << name;
      EXPECT_EQ(r.image.height, side) << name;
      // Drawn, not blank: a fifth of the pixels or more are opaque.
      int shown = 0;
      for (std::size_t i = 3; i < r.image.rgba.size(); i += 4) shown += r.image.rgba[i] == 255;
      EXPECT_GT(shown, side * side / 5) << name << " at " << side;
    }
  }
}

TEST(AppIcons, ShortNameOfTheComputerIconFindsIt) {
  const auto path = tavero::images::FindImageFile("SPORTS~1.ICO", ZEPHCOL_PROGRAM_DIRECTORY);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->filename(), "Sports My Computer.ico");
}

}  // namespace
