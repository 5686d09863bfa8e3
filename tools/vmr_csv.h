// Reading CSV text as RFC 4180 writes it: fields separated by commas, rows
// by CRLF (a bare LF is taken as well); a field in double quotes may hold
// commas, line ends and doubled quotes.
//
//   file   -> row { line-end row } [ line-end ]
//   row    -> field { "," field }
//   field  -> '"' { any but '"' | '""' } '"' | { any but ',' '"' CR LF }
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavero::tool {

struct CsvRow {
  std::size_t line = 0;  // where the row starts, from 1
  std::vector<std::string> fields;
};

// Parses `text`; false with `error` ("line N: ...") when a quote is left
// open or a quoted field is followed by anything but a comma or line end.
bool ParseCsv(std::string_view text, std::vector<CsvRow>& rows, std::string& error);

}  // namespace tavero::tool
