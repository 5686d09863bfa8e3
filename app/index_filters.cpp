#include "app/index_filters.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "eval/eval.h"

namespace zephcol {
namespace {

// One filter for the length of one BUILD: the compiled expression and the
// record buffer as it was before the build, put back when the build ends.
class IndexFilter {
 public:
  IndexFilter(std::span<std::uint8_t> buffer, std::string_view text)
      : buffer_(buffer), saved_(buffer.begin(), buffer.end()), compiled_(tavero::eval::Compile(text)) {}
  IndexFilter(const IndexFilter&) = delete;
  IndexFilter& operator=(const IndexFilter&) = delete;
  ~IndexFilter() { std::copy(saved_.begin(), saved_.end(), buffer_.begin()); }

  bool Accepts(std::span<const std::uint8_t> record) {
    if (!compiled_.expression) return false;
    const std::size_t n = std::min(record.size(), buffer_.size());
    std::copy_n(record.begin(), n, buffer_.begin());
    return compiled_.expression->Truth();
  }

 private:
  std::span<std::uint8_t> buffer_;
  std::vector<std::uint8_t> saved_;
  tavero::eval::CompileResult compiled_;
};

}  // namespace

void InstallIndexFilters(tavero::vmr::VmrDriver& driver) {
  driver.set_filter_factory([](tavero::driver::FileObject& file, std::string_view text) {
    auto filter = std::make_shared<IndexFilter>(file.record, text);
    return [filter](std::span<const std::uint8_t> record) { return filter->Accepts(record); };
  });
}

}  // namespace zephcol
