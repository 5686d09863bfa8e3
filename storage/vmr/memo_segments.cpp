#include "storage/vmr/memo_segments.h"

#include "storage/vmr/record_kinds.h"

namespace tavero::vmr {

namespace {

std::vector<std::string> cut(std::string_view content) {
  std::vector<std::string> segments;
  for (std::size_t pos = 0; pos < content.size(); pos += segment_content_size) {
    segments.emplace_back(content.substr(pos, segment_content_size));
  }
  return segments;
}

}  // namespace

std::vector<std::string> memo_segments(std::string_view memo) {
  const std::size_t end = memo.find_last_not_of(' ');
  if (end == std::string_view::npos) return {};
  return cut(memo.substr(0, end + 1));
}

std::vector<std::string> blob_segments(std::string_view content) {
  std::vector<std::string> segments = cut(content);
  if (!segments.empty()) {
    std::string first;
    append_u32_little_endian(first, static_cast<std::uint32_t>(content.size()));
    segments.front().insert(0, first);
  }
  return segments;
}

std::string join_memo_segments(std::span<const std::string> segments, std::size_t size) {
  std::string memo;
  memo.reserve(size);
  for (const std::string& segment : segments) {
    if (memo.size() >= size) break;
    memo.append(segment, 0, size - memo.size());
  }
  memo.resize(size, ' ');
  return memo;
}

bool join_blob_segments(std::span<const std::string> segments, std::string& content) {
  content.clear();
  if (segments.empty()) return true;
  if (segments.front().size() < blob_length_prefix) return false;
  const std::uint32_t length = read_u32_little_endian(segments.front());
  content.append(segments.front(), blob_length_prefix);
  for (std::size_t i = 1; i < segments.size() && content.size() < length; ++i) content += segments[i];
  if (content.size() > length) content.resize(length);
  return true;
}

}  // namespace tavero::vmr
