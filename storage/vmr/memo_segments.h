// Memos and blobs cut into 256-byte segments and joined back.
//
// A memo is a fixed-size text: it is stored without its trailing blanks,
// and an all-blank memo has no segments. A blob is a byte string of its own
// length: its first segment starts with the total length (32-bit
// little-endian) before up to 256 content bytes; an empty blob has no
// segments. Segments are numbered from 0 in their records' key parts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::vmr {

inline constexpr std::size_t segment_content_size = 256;
inline constexpr std::size_t blob_length_prefix = 4;

std::vector<std::string> memo_segments(std::string_view memo);
std::vector<std::string> blob_segments(std::string_view content);

// Joins stored memo segments into a buffer of `size` bytes, blank filled
// after the content; content beyond the buffer is dropped.
std::string join_memo_segments(std::span<const std::string> segments, std::size_t size);

// Joins stored blob segments. The length comes from the first segment and
// is believed only as far as the segments hold content; false when the
// first segment is too short to carry a length.
bool join_blob_segments(std::span<const std::string> segments, std::string& content);

}  // namespace tavero::vmr
