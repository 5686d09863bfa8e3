// Image controls and list icons on the headless platform, as a person sees
// them: the engine finds the picture files (working directory first, any
// case) and decodes them; a file that cannot be read shows nothing.
#include <gtest/gtest.h>

#include <map>

#include "ui/engine.h"
#include "ui/headless/driver.h"
#include "ui/test_pictures.h"

namespace tavero::ui {
namespace {

TEST(ImageControls, APictureChangesWithItsTextAndAnUnreadableOneShowsNothing) {
  testing::PictureFiles files;
  headless::HeadlessProgram program(testing::PicturesProcedure);
  auto& driver = program.driver();
  const WindowId window = driver.Find("Pictures");
  ASSERT_NE(window, kNoWindow);
  EXPECT_EQ(testing::PicturesScript(driver, window), testing::kPicturesSeen);
}

TEST(ImageControls, ListIconsAreDecodedFromTheirFiles) {
  testing::PictureFiles files;
  headless::HeadlessProgram program(testing::PicturesProcedure);
  auto& driver = program.driver();
  const std::optional<ShownList> list = driver.List(driver.Find("Pictures"), 3);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->icons, (std::map<int, ShownPicture>{{1, {16, 16}}, {2, {0, 0}}}));
}

}  // namespace
}  // namespace tavero::ui
