// PCX pictures: Qt has no PCX reader, so files are written here from known
// pixels and must decode back to exactly those pixels.
#include <array>

#include "images/image_testing.h"

namespace tavero::images {
namespace {

using testing::Bytes;

struct PcxSpec {
  std::string name;
  int bits = 8;    // per plane
  int planes = 1;
  int width = 27;
  int height = 11;
  bool header_palette = true;  // else the 16-colour header palette is zero
  bool runs_cross_lines = false;
};

// Index (or, for 3 and 4 planes, channel value) of the test pattern.
std::uint32_t ValueAt(const PcxSpec& s, int x, int y) {
  const std::uint32_t colours = 1u << (s.bits * (s.bits == 8 ? 1 : s.planes));
  // Long runs at the left, then changing values, so both codings occur.
  return x < 8 ? static_cast<std::uint32_t>(y % colours) : static_cast<std::uint32_t>((x * 7 + y * 3) % colours);
}

std::array<std::uint8_t, 3> PaletteColour(std::uint32_t i) {
  return {static_cast<std::uint8_t>(i * 41 + 3), static_cast<std::uint8_t>(i * 13), static_cast<std::uint8_t>(255 - i * 7)};
}

void EncodeRuns(Bytes& out, const Bytes& raw) {
  for (std::size_t at = 0; at < raw.size();) {
    std::size_t run = 1;
    while (at + run < raw.size() && raw[at + run] == raw[at] && run < 63) ++run;
    if (run > 1 || raw[at] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    out.push_back(raw[at]);
    at += run;
  }
}

Bytes BuildPcx(const PcxSpec& s) {
  const std::size_t bytes_per_line = ((static_cast<std::size_t>(s.width) * s.bits + 7) / 8 + 1) & ~std::size_t{1};
  Bytes b(128, 0);
  b[0] = 0x0A;
  b[1] = 5;
  b[2] = 1;
  b[3] = static_cast<std::uint8_t>(s.bits);
  b[8] = static_cast<std::uint8_t>(s.width - 1);
  b[9] = static_cast<std::uint8_t>((s.width - 1) >> 8);
  b[10] = static_cast<std::uint8_t>(s.height - 1);
  b[11] = static_cast<std::uint8_t>((s.height - 1) >> 8);
  if (s.header_palette) {
    for (std::uint32_t i = 0; i < 16; ++i) {
      const auto c = PaletteColour(i);
      std::copy(c.begin(), c.end(), b.begin() + 16 + i * 3);
    }
  }
  b[65] = static_cast<std::uint8_t>(s.planes);
  b[66] = static_cast<std::uint8_t>(bytes_per_line);
  b[67] = static_cast<std::uint8_t>(bytes_per_line >> 8);
  Bytes all;
  for (int y = 0; y < s.height; ++y) {
    Bytes raw(bytes_per_line * s.planes, 0);
    for (int p = 0; p < s.planes; ++p) {
      for (int x = 0; x < s.width; ++x) {
        std::uint32_t v = ValueAt(s, x, y);
        if (s.bits == 8 && s.planes >= 3) {
          v = static_cast<std::uint8_t>(v * (p + 1) * 37 + p);
        } else if (s.planes > 1) {
          v = (v >> p) & 1;
        }
        const std::size_t bit = static_cast<std::size_t>(x) * s.bits;
        raw[p * bytes_per_line + bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bits - bit % 8));
      }
    }
    if (s.runs_cross_lines) {
      all.insert(all.end(), raw.begin(), raw.end());
    } else {
      EncodeRuns(b, raw);
    }
  }
  if (s.runs_cross_lines) EncodeRuns(b, all);
  if (s.bits == 8 && s.planes == 1) {
    b.push_back(0x0C);
    for (std::uint32_t i = 0; i < 256; ++i) {
      const auto c = PaletteColour(i);
      b.insert(b.end(), c.begin(), c.end());
    }
  }
  return b;
}

// The colour the decoder must give at (x, y).
std::array<std::uint8_t, 4> Expected(const PcxSpec& s, int x, int y) {
  const std::uint32_t v = ValueAt(s, x, y);
  if (s.bits == 8 && s.planes >= 3) {
    std::array<std::uint8_t, 4> c{};
    for (int p = 0; p < s.planes; ++p) c[p] = static_cast<std::uint8_t>(v * (p + 1) * 37 + p);
    if (s.planes == 3) c[3] = 255;
    return c;
  }
  if (s.bits * s.planes == 1) return v ? std::array<std::uint8_t, 4>{255, 255, 255, 255} : std::array<std::uint8_t, 4>{0, 0, 0, 255};
  if (!s.header_palette) {
    // The standard EGA colours.
    static constexpr std::array<std::array<std::uint8_t, 3>, 4> kFirst = {{{0, 0, 0}, {0, 0, 170}, {0, 170, 0}, {0, 170, 170}}};
    return {kFirst[v][0], kFirst[v][1], kFirst[v][2], 255};
  }
  const auto c = PaletteColour(v);
  return {c[0], c[1], c[2], 255};
}

const std::vector<PcxSpec>& Specs() {
  static const std::vector<PcxSpec> specs = {
      {.name = "1bit", .bits = 1, .width = 35},
      {.name = "1bit_4planes", .bits = 1, .planes = 4},
      {.name = "1bit_2planes_ega", .bits = 1, .planes = 2, .header_palette = false},
      {.name = "2bit", .bits = 2},
      {.name = "4bit", .bits = 4, .width = 9},
      {.name = "8bit", .bits = 8},
      {.name = "8bit_runs_cross_lines", .bits = 8, .runs_cross_lines = true},
      {.name = "24bit", .bits = 8, .planes = 3, .width = 30},
      {.name = "32bit", .bits = 8, .planes = 4},
  };
  return specs;
}

class PcxLayout : public ::testing::TestWithParam<PcxSpec> {};

TEST_P(PcxLayout, DecodesToTheWrittenPixels) {
  const PcxSpec& s = GetParam();
  const DecodeResult r = DecodeImage(BuildPcx(s));
  ASSERT_TRUE(r.ok()) << r.message;
  ASSERT_EQ(r.image.width, s.width);
  ASSERT_EQ(r.image.height, s.height);
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const auto p = r.image.pixel(x, y);
      ASSERT_EQ((std::array<std::uint8_t, 4>{p[0], p[1], p[2], p[3]}), Expected(s, x, y)) << x << "," << y;
    }
  }
}

TEST_P(PcxLayout, TruncatedFileGivesAnError) {
  testing::ExpectTruncationsFail(BuildPcx(GetParam()), [](std::span<const std::uint8_t> b) { return DecodePcx(b); });
}

TEST_P(PcxLayout, CorruptedBytesGiveAnErrorOrAPicture) {
  testing::ExpectCorruptionsContained(BuildPcx(GetParam()), [](std::span<const std::uint8_t> b) { return DecodePcx(b); });
}

INSTANTIATE_TEST_SUITE_P(Layouts, PcxLayout, ::testing::ValuesIn(Specs()), [](const auto& info) { return info.param.name; });

TEST(Pcx, DamagedHeadersAreRefusedWithTheirReason) {
  struct Case {
    std::string name;
    std::function<void(Bytes&)> damage;
    ImageError error;
  };
  const std::vector<Case> cases = {
      {"header cut", [](Bytes& b) { b.resize(100); }, ImageError::Truncated},
      {"window upside down", [](Bytes& b) { b[4] = 0xFF; b[5] = 0xFF; }, ImageError::Corrupt},
      {"5 bits", [](Bytes& b) { b[3] = 5; }, ImageError::Unsupported},
      {"8 bits in 2 planes", [](Bytes& b) { b[65] = 2; }, ImageError::Unsupported},
      {"lines too short", [](Bytes& b) { b[66] = 3; b[67] = 0; }, ImageError::Corrupt},
      {"no palette marker", [](Bytes& b) { b[b.size() - 769] = 0; }, ImageError::Corrupt},
      {"wider than the cap", [](Bytes& b) { b[8] = 0x00; b[9] = 0x50; b[66] = 0x02; b[67] = 0x50; }, ImageError::TooLarge},
  };
  for (const Case& c : cases) {
    Bytes file = BuildPcx({});
    c.damage(file);
    EXPECT_EQ(DecodePcx(file).error, c.error) << c.name << ": " << DecodePcx(file).message;
  }
}

}  // namespace
}  // namespace tavero::images
