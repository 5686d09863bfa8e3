// Feeds arbitrary bytes to the environment file reader, then uses the tables
// the file built on the same bytes: damaged files must never crash or read
// past their data.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "locale/locale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tavero::ResetLocale();
  tavero::ApplyEnvironmentText(text);
  const std::string_view half = text.substr(0, size / 2);
  const std::string_view rest = text.substr(size / 2);
  (void)tavero::CompareCollated(half, rest);
  (void)tavero::CompareCollatedNoCase(half, rest);
  (void)tavero::CompareNoCase(half, rest, 8);
  (void)tavero::SortKeyAnsi(text);
  (void)tavero::SortKeyOem(text);
  (void)tavero::ToUpper(text);
  (void)tavero::OemToAnsi(tavero::ToLower(text));
  (void)tavero::Utf8ToAnsi(text);
  for (int code : {35, tavero::kFirstButtonMessage}) (void)tavero::MessageOverride(code);
  return 0;
}
