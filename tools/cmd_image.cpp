// tavero image: looks into picture files and writes the application's icons.
//   tavero image info FILE...   one line per file: its name, a tab, then the
//                               format and size ("ICO 32x32") or "error: "
//                               and the reason
//   tavero image icons DIR      writes the four icons of the card tree into DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "images/image.h"
#include "tools/app_icons.h"
#include "tools/command.h"
#include "tools/commands.h"

namespace tavero::tool {

namespace {

int Info(std::span<const std::string_view> files) {
  int failures = 0;
  for (const std::string_view name : files) {
    const std::filesystem::path path{std::string(name)};
    std::string format = "unknown";
    {
      std::ifstream in(path, std::ios::binary);
      std::uint8_t head[16] = {};
      in.read(reinterpret_cast<char*>(head), sizeof head);
      format = images::ImageFormatName(images::DetectImageFormat(std::span(head, static_cast<std::size_t>(in.gcount()))));
    }
    const images::DecodeResult r = images::LoadImageFile(path);
    if (r.ok()) {
      std::printf("%s\t%s %dx%d\n", path.c_str(), format.c_str(), r.image.width, r.image.height);
    } else {
      std::printf("%s\terror: %s\n", path.c_str(), r.message.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

int Icons(std::string_view directory) {
  for (const AppIcon& icon : DrawAppIcons()) {
    const std::filesystem::path path = std::filesystem::path(std::string(directory)) / icon.file_name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(icon.bytes.data()), static_cast<std::streamsize>(icon.bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "tavero image: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s\n", path.c_str());
  }
  return 0;
}

}  // namespace

int RunImage(std::span<const std::string_view> args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(
        "usage: tavero image info FILE...\n"
        "       tavero image icons DIR\n"
        "info: decodes each picture file (BMP, ICO, GIF, PCX, JPEG, told apart by\n"
        "their leading bytes) and prints its format and size, or the reason it\n"
        "cannot be decoded; exit code 1 when any cannot.\n"
        "icons: writes the card tree's four icons (\"Sports My Computer.ico\",\n"
        "star1.ico, star2.ico, star3.ico, each 16 and 32 pixels) into DIR.\n",
        args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "info" && args.size() >= 2) return Info(args.subspan(1));
  if (args[0] == "icons" && args.size() == 2) return Icons(args[1]);
  return UsageError("image", "expects 'info FILE...' or 'icons DIR'");
}

}  // namespace tavero::tool
