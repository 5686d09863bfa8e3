#include "storage/vmr/memo_segments.h"

#include <cstdint>
#include <cstring>

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
  // The content ends at the last byte that is not a blank; most memos are
  // blank or short, so the blanks are skipped eight at a time.
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  std::size_t end = memo.size();
  for (std::uint64_t word; end >= 8; end -= 8) {
    std::memcpy(&word, memo.data() + end - 8, 8);
    if (word != kBlanks) break;
  }
  while (end > 0 && memo[end - 1] == ' ') --end;
  return cut(memo.substr(0, end));
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
