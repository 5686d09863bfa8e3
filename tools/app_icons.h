// The four icons the card collection's tree names ("Sports My Computer.ico",
// "star1.ico", "star2.ico", "star3.ico"), drawn here from simple shapes at
// 16 and 32 pixels, so that the program ships pictures of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavero::tool {

struct AppIcon {
  std::string file_name;
  std::vector<std::uint8_t> bytes;  // an icon file of a 16 and a 32 pixel picture
};

std::vector<AppIcon> DrawAppIcons();

}  // namespace tavero::tool
