// Test support: the structural check as part of a test's teardown, and
// the places of a file's pages for tests that damage them. Every
// VMR file a test leaves behind, closed, must pass it:
//
//   void TearDown() override {
//     EXPECT_TRUE(vmr::testing_support::VmrFilesAreSound(directory_));
//     std::filesystem::remove_all(directory_);
//   }
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/vmr/check.h"
#include "storage/vmr/format.h"

namespace tavero::vmr::testing_support {

// A file that carries the VMR magic where the header keeps it.
inline bool LooksLikeVmrFile(const std::filesystem::path& path) {
  std::array<char, 18> start{};
  std::ifstream in(path, std::ios::binary);
  return in.read(start.data(), start.size()) && std::memcmp(start.data() + 14, kMagic.data(), 4) == 0;
}

// One file, through `fs`.
inline ::testing::AssertionResult VmrFileIsSound(const std::string& path, FileSystem& fs = PosixFileSystem()) {
  const CheckResult result = CheckFile(path, fs);
  if (result.sound()) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  for (const std::string& problem : result.problems) failure << path << ": " << problem << "\n";
  return failure;
}

// Every VMR file in `directory` and below; a missing directory has none.
inline ::testing::AssertionResult VmrFilesAreSound(const std::filesystem::path& directory) {
  std::error_code error;
  ::testing::AssertionResult all = ::testing::AssertionSuccess();
  bool sound = true;
  for (auto it = std::filesystem::recursive_directory_iterator(directory, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file() || !LooksLikeVmrFile(it->path())) continue;
    ::testing::AssertionResult one = VmrFileIsSound(it->path().string());
    if (one) continue;
    if (sound) all = ::testing::AssertionFailure();
    sound = false;
    all << one.message();
  }
  return all;
}

// The start offsets of every page slot of every zone of a file image, for
// tests that damage pages.
inline std::vector<std::size_t> PageOffsets(const std::vector<std::uint8_t>& image) {
  std::vector<std::size_t> offsets;
  if (image.size() < kHeaderSize) return offsets;
  for (int i = 1; i < kZoneCount; ++i) {
    const std::uint32_t start = Load32(image.data() + 32 + 4 * i);
    const std::uint32_t end = Load32(image.data() + 272 + 4 * i);
    for (std::uint32_t block = start; block + i <= end; block += i) offsets.push_back(BlockOffset(block));
  }
  return offsets;
}

}  // namespace tavero::vmr::testing_support
