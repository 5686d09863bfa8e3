// Test support for the tool: VMR files written through the record layer,
// raw access to their bytes for damaging them, and runs of the built tool.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/vmr/card_file_testing.h"
#include "storage/vmr/check_testing.h"
#include "storage/vmr/fault_file_system.h"
#include "tools/vmr_store.h"

namespace tavero::tool::test {

using vmr::testing_support::CardFile;
using vmr::testing_support::CardTable;

// A temporary directory, removed with everything in it. Every VMR file
// left in it must pass the structural check, unless the test damages files
// on purpose.
class TempDir {
 public:
  enum class Files { kSound, kDamagedOnPurpose };

  explicit TempDir(Files files = Files::kSound) : files_(files) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavero-tool-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (files_ == Files::kSound) {
      EXPECT_TRUE(vmr::testing_support::VmrFilesAreSound(path_));
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
  Files files_;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs the built `tavero` with `arguments` (quoted as the shell needs),
// its stderr joined to `out`; answers the exit status.
inline int RunTool(const std::string& arguments, std::string& out) {
  FILE* pipe = popen((std::string(TAVERO_TOOL_PATH) + " " + arguments + " 2>&1").c_str(), "r");
  out.clear();
  if (pipe == nullptr) return -1;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tavero::tool::test
