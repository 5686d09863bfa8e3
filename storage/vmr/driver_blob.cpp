// The blob field operations 75 to 79 on the current memo or blob contents.
//
// Property texts of 78 and 79 (case ignored, blanks around the parts too):
//   "SIZE"            79 answers the current length
//   "SIZE=" number    78 resizes the blob (a memo keeps its declared size)
#include <algorithm>
#include <charconv>
#include <cstring>

#include "runtime/error_codes.h"
#include "storage/vmr/driver_files.h"

namespace tavero::vmr {

namespace {

using driver::OperationCode;

// Segment numbers are 16-bit: the largest blob the segments can carry.
constexpr std::size_t kMaxBlobLength = 65535u * 256u;

std::string upper_trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

int run_blob_operation(OperationCode code, VmrState& state, const driver::OperationArgs& args,
                       driver::OperationResult& result) {
  if (code < OperationCode::BlobGetBytes || code > OperationCode::BlobGetProperty) return error_code::kUnsupportedFileDriverFunction;
  if (args.number < 1 || static_cast<std::size_t>(args.number) > state.blobs.size()) {
    return error_code::kInvalidNumberOfParameters;
  }
  const std::size_t index = static_cast<std::size_t>(args.number - 1);
  const bool is_blob = state.blobs[index].IsBlob();
  Table& table = *state.table;
  // A memo's bytes live in the program's buffer, a blob's in the table.
  std::span<std::uint8_t> memo;
  if (!is_blob) {
    const driver::BlobObject& object = *state.blobs[index].blob;
    memo = object.buffer;
  }
  std::string& blob = table.blob_content(index);
  const std::size_t length = is_blob ? blob.size() : (memo.empty() ? blob.size() : memo.size());
  auto byte_at = [&](std::size_t i) -> char {
    if (is_blob || memo.empty()) return blob[i];
    return static_cast<char>(memo[i]);
  };

  switch (code) {
    case OperationCode::BlobGetBytes: {
      if (args.start < 0 || args.end < args.start || static_cast<std::size_t>(args.start) >= length) return 0;
      const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(args.end), length - 1);
      for (std::size_t i = static_cast<std::size_t>(args.start); i <= last; ++i) result.text.push_back(byte_at(i));
      return 0;
    }
    case OperationCode::BlobPutBytes: {
      if (args.start < 0 || args.end < args.start) return error_code::kInvalidNumberOfParameters;
      const auto start = static_cast<std::size_t>(args.start);
      const std::size_t count = static_cast<std::size_t>(args.end - args.start) + 1;
      if (start + count > kMaxBlobLength) return error_code::kInvalidNumberOfParameters;
      std::string bytes(args.text.substr(0, std::min(args.text.size(), count)));
      bytes.resize(count, is_blob ? '\0' : ' ');
      if (is_blob) {
        if (blob.size() < start + count) blob.resize(start + count, '\0');
        blob.replace(start, count, bytes);
      } else {
        // A memo keeps its declared size.
        for (std::size_t i = 0; i < count && start + i < length; ++i) {
          if (memo.empty()) {
            blob[start + i] = bytes[i];
          } else {
            memo[start + i] = static_cast<std::uint8_t>(bytes[i]);
          }
        }
      }
      return 0;
    }
    case OperationCode::BlobLength:
      result.value = static_cast<std::int64_t>(length);
      return 0;
    case OperationCode::BlobGetProperty:
      if (upper_trimmed(args.text) != "SIZE") return error_code::kUnsupportedFileDriverFunction;
      result.text = std::to_string(length);
      return 0;
    case OperationCode::BlobSetProperty: {
      const std::string text = upper_trimmed(args.text);
      const std::size_t equals = text.find('=');
      if (equals == std::string::npos || upper_trimmed(text.substr(0, equals)) != "SIZE") return error_code::kUnsupportedFileDriverFunction;
      const std::string number = upper_trimmed(text.substr(equals + 1));
      std::size_t size = 0;
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), size);
      if (error != std::errc() || end != number.data() + number.size() || size > kMaxBlobLength) {
        return error_code::kInvalidNumberOfParameters;
      }
      if (is_blob) blob.resize(size, '\0');
      return 0;
    }
    default:
      return error_code::kUnsupportedFileDriverFunction;
  }
}

}  // namespace tavero::vmr
