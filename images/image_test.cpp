// Format detection, loading files, and finding the picture files the
// program names.
#include <fstream>
#include <unistd.h>

#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

TEST(DetectImageFormat, ReadsTheLeadingBytesNotTheName) {
  const struct {
    Bytes bytes;
    ImageFormat format;
  } cases[] = {
      {{'B', 'M', 0, 0}, ImageFormat::Bmp},
      {{0xFF, 0xD8, 0xFF, 0xE0}, ImageFormat::Jpeg},
      {{0xFF, 0xD8}, ImageFormat::Unknown},
      {{'G', 'I', 'F', '8', '7', 'a'}, ImageFormat::Gif},
      {{'G', 'I', 'F', '8', '9', 'a'}, ImageFormat::Gif},
      {{'G', 'I', 'F', '8', '8', 'a'}, ImageFormat::Unknown},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, ImageFormat::Png},
      {{0, 0, 1, 0, 1, 0}, ImageFormat::Ico},
      {{0, 0, 1, 0, 0, 0}, ImageFormat::Unknown},
      {{0x0A, 5, 1, 8}, ImageFormat::Pcx},
      {{0x0A, 5, 1, 3}, ImageFormat::Unknown},
      {{}, ImageFormat::Unknown},
      {{'h', 'e', 'l', 'l', 'o'}, ImageFormat::Unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectImageFormat(c.bytes), c.format) << ImageFormatName(c.format);
    if (c.format == ImageFormat::Unknown) {
      EXPECT_EQ(DecodeImage(c.bytes).error, ImageError::UnknownFormat);
    }
  }
}

// A scratch directory made current for the test, the old one restored.
class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavero-images-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    std::filesystem::create_directory(root_ / "work");
    std::filesystem::create_directory(root_ / "program");
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(root_ / "work");
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(root_);
  }
  static void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::path work() const { return root_ / "work"; }
  std::filesystem::path program() const { return root_ / "program"; }

 private:
  std::filesystem::path root_;
  std::filesystem::path previous_;
};

using FindImageFileTest = ScratchDirectory;

TEST_F(FindImageFileTest, WorkingDirectoryThenBesideTheProgramInAnyCase) {
  Write(work() / "star1.ico", {1});
  Write(program() / "star1.ico", {2});
  Write(program() / "Star2.ICO", {3});
  Write(program() / "Sports My Computer.ico", {4});
  Write(program() / "Sports Cards.ico", {5});
  const struct {
    std::string name;
    std::optional<std::filesystem::path> found;
  } cases[] = {
      {"star1.ico", work() / "star1.ico"},
      {"STAR1.ICO", work() / "star1.ico"},
      {"star2.ico", program() / "Star2.ICO"},
      {"Sports My Computer.ico", program() / "Sports My Computer.ico"},
      // Short names stand for the long names in name order.
      {"SPORTS~1.ICO", program() / "Sports Cards.ico"},
      {"sports~2.ico", program() / "Sports My Computer.ico"},
      {"SPORTS~3.ICO", std::nullopt},
      {"star3.ico", std::nullopt},
      {"", std::nullopt},
      {"../program/star2.ico", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(FindImageFile(c.name, program()), c.found) << c.name;
}

TEST_F(FindImageFileTest, LoadedFileDecodesAndMissingOrOversizeFilesAreErrors) {
  const std::vector<Image> pictures = {testing::TestPicture(16, 16, true)};
  Write(work() / "icon.ico", EncodeIco(pictures));
  const DecodeResult r = LoadImageFile(work() / "icon.ico");
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_TRUE(testing::SamePixels(pictures[0], r.image));
  EXPECT_EQ(LoadImageFile(work() / "missing.ico").error, ImageError::CannotRead);
  EXPECT_EQ(LoadImageFile(work() / "icon.ico", {.max_file_bytes = 100}).error, ImageError::TooLarge);
  EXPECT_EQ(LoadImageFile(work()).error, ImageError::CannotRead);
}

}  // namespace
}  // namespace tavero::images
