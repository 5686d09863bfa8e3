// The runtime error codes the record layer answers with.
#pragma once

namespace tavero::vmr::error {
inline constexpr int file_not_found = 2;
inline constexpr int access_denied = 5;
inline constexpr int record_not_available = 33;
inline constexpr int record_not_found = 35;
inline constexpr int invalid_data_file = 36;
inline constexpr int duplicate_key = 40;
inline constexpr int invalid_filename = 45;
inline constexpr int invalid_record_declaration = 47;
inline constexpr int invalid_field_type = 75;
inline constexpr int invalid_index_string = 76;
inline constexpr int unsupported_data_type = 79;
}  // namespace tavero::vmr::error
