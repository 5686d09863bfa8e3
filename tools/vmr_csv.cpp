#include "tools/vmr_csv.h"

namespace tavero::tool {

bool ParseCsv(std::string_view text, std::vector<CsvRow>& rows, std::string& error) {
  rows.clear();
  std::size_t pos = 0;
  std::size_t line = 1;
  while (pos < text.size()) {
    CsvRow row;
    row.line = line;
    while (true) {
      std::string field;
      if (pos < text.size() && text[pos] == '"') {
        const std::size_t opened = line;
        ++pos;
        while (true) {
          if (pos >= text.size()) {
            error = "line " + std::to_string(opened) + ": a quoted field is not closed";
            return false;
          }
          const char c = text[pos++];
          if (c == '"') {
            if (pos < text.size() && text[pos] == '"') {
              field += '"';
              ++pos;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field += c;
        }
        if (pos < text.size() && text[pos] != ',' && text[pos] != '\r' && text[pos] != '\n') {
          error = "line " + std::to_string(line) + ": text after a closing quote";
          return false;
        }
      } else {
        const std::size_t end = text.find_first_of(",\r\n", pos);
        field.assign(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        if (field.find('"') != std::string::npos) {
          error = "line " + std::to_string(line) + ": a quote inside an unquoted field";
          return false;
        }
        pos = end == std::string_view::npos ? text.size() : end;
      }
      row.fields.push_back(std::move(field));
      if (pos < text.size() && text[pos] == ',') {
        ++pos;
        continue;
      }
      break;
    }
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    ++line;
    rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace tavero::tool
