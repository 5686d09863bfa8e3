// tavero sample DIR [--sets N] [--cards-per-set M] [--seed S]
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/commands.h"
#include "tools/sample_collection.h"
#include "tools/sample_files.h"

namespace tavero::tool {
namespace {

template <typename Number>
bool ReadNumber(std::string_view text, Number low, Number high, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

}  // namespace

int RunSample(std::span<const std::string_view> args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(
        "usage: tavero sample DIR [--sets N] [--cards-per-set M] [--seed S]\n"
        "Creates the collection's four data files (CARDSET, MANUFACTURER, TYPES,\n"
        "SETINFORMATION) in DIR, replacing files of those names, filled with\n"
        "plausible made-up data: card makers, kinds of card, N sets (12) of M cards\n"
        "(20) with players, prices, dates and some notes. The same seed (1) gives\n"
        "the same files.\n",
        args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  SampleOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--sets" && has_value) {
      if (!ReadNumber(args[++i], 0, 32767, options.sets)) return UsageError("sample", "--sets takes 0 to 32767");
    } else if (args[i] == "--cards-per-set" && has_value) {
      if (!ReadNumber(args[++i], 0, 32767, options.cards_per_set)) {
        return UsageError("sample", "--cards-per-set takes 0 to 32767");
      }
    } else if (args[i] == "--seed" && has_value) {
      if (!ReadNumber<std::uint64_t>(args[++i], 0, UINT64_MAX, options.seed)) {
        return UsageError("sample", "--seed takes a whole number");
      }
    } else {
      return UsageError("sample", "unknown argument '" + std::string(args[i]) + "'");
    }
  }
  const std::string directory(args[0]);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    std::fprintf(stderr, "tavero sample: %s: %s\n", directory.c_str(), error.message().c_str());
    return 1;
  }
  const SampleCollection collection = MakeSampleCollection(options);
  std::string failure;
  if (WriteSampleFiles(directory, collection, failure) != 0) {
    std::fprintf(stderr, "tavero sample: %s\n", failure.c_str());
    return 1;
  }
  std::printf("%s: %zu manufacturers, %zu types, %zu sets, %zu cards\n", directory.c_str(),
              collection.manufacturers.size(), collection.types.size(), collection.sets.size(),
              collection.cards.size());
  return 0;
}

}  // namespace tavero::tool
