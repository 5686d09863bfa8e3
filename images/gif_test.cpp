// GIF pictures: files written by an LZW encoder of the test's own, read
// both by DecodeGif and by Qt's GIF reader.
#include <map>

#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

// Appends `data` as sub-blocks of at most 255 bytes and the empty block.
void PutSubBlocks(Bytes& out, const Bytes& data) {
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
}

// A plain LZW encoder: a dictionary of strings, codes widening at 2^width,
// a clear code when the table is full (or every `clear_every` codes).
Bytes EncodeLzw(const std::vector<std::uint8_t>& indices, int min_code_size) {
  Bytes out;
  std::uint32_t buffer = 0;
  int count = 0;
  const auto write_code = [&](int code, int width) {
    buffer |= static_cast<std::uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      out.push_back(static_cast<std::uint8_t>(buffer));
      buffer >>= 8;
      count -= 8;
    }
  };
  const int clear = 1 << min_code_size;
  std::map<std::pair<int, int>, int> table;
  int width = min_code_size + 1;
  int next = clear + 2;
  write_code(clear, width);
  int current = -1;
  for (const std::uint8_t index : indices) {
    if (current < 0) {
      current = index;
      continue;
    }
    const auto found = table.find({current, index});
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    write_code(current, width);
    if (next < 4096) {
      table[{current, index}] = next++;
      if (next > (1 << width) && width < 12) ++width;
    } else {
      write_code(clear, width);
      table.clear();
      width = min_code_size + 1;
      next = clear + 2;
    }
    current = index;
  }
  if (current >= 0) write_code(current, width);
  write_code(clear + 1, width);
  if (count > 0) out.push_back(static_cast<std::uint8_t>(buffer));
  return out;
}

struct GifSpec {
  std::string name;
  int width = 23;
  int height = 17;
  int colours = 16;       // a power of two, 2 to 256
  bool local_table = false;
  bool interlaced = false;
  int transparent = -1;
  bool extensions = false;  // a comment and an application block first
  bool second_frame = false;
  bool version87 = false;
};

std::uint8_t IndexAt(const GifSpec& s, int x, int y) {
  return static_cast<std::uint8_t>((x * 3 + y * 5 + (x / 3) * (y / 2)) % s.colours);
}

Bytes ColourTable(int colours) {
  Bytes t;
  for (int i = 0; i < colours; ++i) {
    t.push_back(static_cast<std::uint8_t>(i * 53));
    t.push_back(static_cast<std::uint8_t>(255 - i * 29));
    t.push_back(static_cast<std::uint8_t>(i * 101 + 7));
  }
  return t;
}

int TableBits(int colours) {
  int bits = 0;
  while ((2 << bits) < colours) ++bits;
  return bits;
}

Bytes BuildGif(const GifSpec& s) {
  Bytes b = {'G', 'I', 'F', '8', static_cast<std::uint8_t>(s.version87 ? '7' : '9'), 'a'};
  const auto put16 = [&](int v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put16(s.width);
  put16(s.height);
  const Bytes table = ColourTable(s.colours);
  b.push_back(static_cast<std::uint8_t>(s.local_table ? 0 : 0x80 | TableBits(s.colours)));
  b.push_back(0);
  b.push_back(0);
  if (!s.local_table) b.insert(b.end(), table.begin(), table.end());
  if (s.extensions) {
    b.insert(b.end(), {0x21, 0xFE});
    PutSubBlocks(b, Bytes{'m', 'a', 'd', 'e', ' ', 'h', 'e', 'r', 'e'});
    b.insert(b.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
  }
  const auto frame = [&](bool first) {
    if (s.transparent >= 0) b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(s.transparent), 0});
    b.push_back(0x2C);
    put16(0);
    put16(0);
    put16(s.width);
    put16(s.height);
    b.push_back(static_cast<std::uint8_t>((s.local_table ? 0x80 | TableBits(s.colours) : 0) | (s.interlaced ? 0x40 : 0)));
    if (s.local_table) b.insert(b.end(), table.begin(), table.end());
    std::vector<std::uint8_t> indices;
    std::vector<int> rows;
    if (s.interlaced) {
      for (const auto& [start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
        for (int y = start; y < s.height; y += step) rows.push_back(y);
      }
    } else {
      for (int y = 0; y < s.height; ++y) rows.push_back(y);
    }
    for (const int y : rows) {
      for (int x = 0; x < s.width; ++x) indices.push_back(first ? IndexAt(s, x, y) : 0);
    }
    const int min_code_size = std::max(2, TableBits(s.colours) + 1);
    b.push_back(static_cast<std::uint8_t>(min_code_size));
    PutSubBlocks(b, EncodeLzw(indices, min_code_size));
  };
  frame(true);
  if (s.second_frame) frame(false);
  b.push_back(0x3B);
  return b;
}

const std::vector<GifSpec>& Specs() {
  static const std::vector<GifSpec> specs = {
      {.name = "two_colours", .colours = 2},
      {.name = "sixteen_colours"},
      {.name = "gif87a", .version87 = true},
      {.name = "local_table", .colours = 64, .local_table = true},
      {.name = "interlaced", .height = 29, .interlaced = true},
      {.name = "transparent", .transparent = 3},
      {.name = "extensions_and_second_frame", .extensions = true, .second_frame = true},
      // Enough pixels of 256 colours to fill the 4096-entry table and clear.
      {.name = "full_table", .width = 200, .height = 120, .colours = 256},
  };
  return specs;
}

class GifLayout : public ::testing::TestWithParam<GifSpec> {};

TEST_P(GifLayout, DecodesAsQtReadsIt) {
  const Bytes file = BuildGif(GetParam());
  const DecodeResult ours = DecodeImage(file);
  ASSERT_TRUE(ours.ok()) << ours.message;
  EXPECT_TRUE(testing::SamePixels(testing::ReadWithQt(file), ours.image));
}

TEST_P(GifLayout, TruncatedFileGivesAnError) {
  testing::ExpectTruncationsFail(BuildGif(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeGif(b); });
}

TEST_P(GifLayout, CorruptedBytesGiveAnErrorOrAPicture) {
  testing::ExpectCorruptionsContained(BuildGif(GetParam()), [](std::span<const std::uint8_t> b) { return DecodeGif(b); });
}

INSTANTIATE_TEST_SUITE_P(Layouts, GifLayout, ::testing::ValuesIn(Specs()), [](const auto& info) { return info.param.name; });

TEST(Gif, TransparentIndexHasNoColourAndTheOthersKeepTheirs) {
  const GifSpec layout{.width = 5, .height = 4, .colours = 4, .transparent = 2};
  const DecodeResult r = DecodeGif(BuildGif(layout));
  ASSERT_TRUE(r.ok()) << r.message;
  const Bytes table = ColourTable(4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int i = IndexAt(layout, x, y);
      const auto p = r.image.pixel(x, y);
      if (i == 2) {
        EXPECT_EQ(p[3], 0);
      } else {
        EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), (std::array<int, 4>{table[i * 3], table[i * 3 + 1], table[i * 3 + 2], 255}));
      }
    }
  }
}

TEST(Gif, ImageSmallerThanTheScreenLeavesTheRestTransparent) {
  Bytes file = BuildGif({.width = 4, .height = 4, .colours = 2});
  // Screen 6 × 5; the image placed at (2, 1).
  file[6] = 6;
  file[8] = 5;
  const std::size_t descriptor = 13 + 6;
  ASSERT_EQ(file[descriptor], 0x2C);
  file[descriptor + 1] = 2;
  file[descriptor + 3] = 1;
  const DecodeResult r = DecodeGif(file);
  ASSERT_TRUE(r.ok()) << r.message;
  ASSERT_EQ(r.image.width, 6);
  ASSERT_EQ(r.image.height, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(r.image.pixel(x, y)[3], (x >= 2 && y >= 1) ? 255 : 0) << x << "," << y;
  }
}

TEST(Gif, DamagedStreamsAreRefusedWithTheirReason) {
  struct Case {
    std::string name;
    std::function<void(Bytes&)> damage;
    ImageError error;
  };
  const std::size_t descriptor = 13 + 48;  // after a 16-colour global table
  const std::vector<Case> cases = {
      {"no image, only the trailer", [&](Bytes& b) { b.resize(descriptor); b.push_back(0x3B); }, ImageError::Corrupt},
      {"unknown block", [&](Bytes& b) { b[descriptor] = 0x99; }, ImageError::Corrupt},
      {"LZW code size 12", [&](Bytes& b) { b[descriptor + 10] = 12; }, ImageError::Corrupt},
      {"no colour table", [](Bytes& b) { b[10] &= 0x7F; }, ImageError::Corrupt},
      {"data stops early", [&](Bytes& b) { b.resize(descriptor + 14); b.push_back(0); }, ImageError::Truncated},
      {"first code names no entry", [&](Bytes& b) { b[descriptor + 12] = 0xFF; }, ImageError::Corrupt},
      {"screen beyond the cap", [](Bytes& b) { b[7] = 0xFF; b[9] = 0xFF; }, ImageError::TooLarge},
  };
  for (const Case& c : cases) {
    Bytes file = BuildGif({});
    ASSERT_EQ(file[descriptor], 0x2C);
    c.damage(file);
    EXPECT_EQ(DecodeImage(file).error, c.error) << c.name << ": " << DecodeImage(file).message;
  }
}

}  // namespace
}  // namespace tavero::images
