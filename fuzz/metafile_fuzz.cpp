// Page files as they could arrive damaged from the temporary directory: any
// bytes must read as a metafile or an error, and a metafile that reads must
// write back to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "images/metafile.h"

namespace {

using namespace tavero::images;

std::vector<std::uint8_t> Rewrite(const Metafile& m) {
  MetafileWriter w(m.header);
  for (const MetaRecord& r : m.records) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, record::SetMapMode>) w.SetMapMode(v.mode);
          else if constexpr (std::is_same_v<T, record::SetBkMode>) w.SetBkMode(v.mode);
          else if constexpr (std::is_same_v<T, record::SetTextAlign>) w.SetTextAlign(v.align);
          else if constexpr (std::is_same_v<T, record::SetTextColour>) w.SetTextColour(v.colour);
          else if constexpr (std::is_same_v<T, record::SetWindowOrigin>) w.SetWindowOrigin(v.x, v.y);
          else if constexpr (std::is_same_v<T, record::SetWindowExtent>) w.SetWindowExtent(v.x, v.y);
          else if constexpr (std::is_same_v<T, record::MoveTo>) w.MoveTo(v.x, v.y);
          else if constexpr (std::is_same_v<T, record::LineTo>) w.LineTo(v.x, v.y);
          else if constexpr (std::is_same_v<T, record::CreateFont>) w.CreateFont(v.font);
          else if constexpr (std::is_same_v<T, record::CreatePen>) w.CreatePen(v.pen);
          else if constexpr (std::is_same_v<T, record::SelectObject>) w.SelectObject(v.index);
          else if constexpr (std::is_same_v<T, record::DeleteObject>) w.DeleteObject(v.index);
          else if constexpr (std::is_same_v<T, record::TextOut>) w.TextOut(v.x, v.y, v.text);
          else w.StretchDib(v);
        },
        r);
  }
  return w.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MetafileReadResult read = ReadMetafile(std::span(data, size));
  if (!read.ok()) {
    if (!read.metafile.records.empty()) std::abort();
    return 0;
  }
  const MetafileReadResult again = ReadMetafile(Rewrite(read.metafile));
  if (!again.ok() || again.metafile.records != read.metafile.records) std::abort();
  return 0;
}
