#include "storage/vmr/fault_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavero::vmr {
namespace {

constexpr std::uint64_t kSectorSize = 512;

void Apply(std::vector<std::uint8_t>& bytes, const FaultFileSystem::Write& write) {
  if (write.truncate) {
    bytes.resize(write.offset);
    return;
  }
  if (bytes.size() < write.offset + write.bytes.size()) bytes.resize(write.offset + write.bytes.size());
  std::memcpy(bytes.data() + write.offset, write.bytes.data(), write.bytes.size());
}

class FaultFile final : public File {
 public:
  FaultFile(FaultFileSystem& fs, std::shared_ptr<FaultFileSystem::Data> data, bool writable)
      : fs_(fs), data_(std::move(data)), writable_(writable) {}
  ~FaultFile() override {
    auto& locks = data_->locks;
    std::erase_if(locks, [this](const auto& r) { return r.owner == this; });
  }

  int ReadAt(std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& read) override {
    read = 0;
    if (fs_.CountCall()) return EIO;
    const auto& bytes = data_->current;
    if (offset >= bytes.size()) return 0;
    read = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), bytes.size() - offset));
    std::memcpy(out.data(), bytes.data() + offset, read);
    return 0;
  }
  int WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (!writable_) return EBADF;
    if (fs_.CountCall()) return EIO;
    FaultFileSystem::Write write{offset, {data.begin(), data.end()}, false};
    Apply(data_->current, write);
    data_->unsynced.push_back(std::move(write));
    return 0;
  }
  int Sync() override {
    if (fs_.CountCall()) return EIO;
    for (const auto& write : data_->unsynced) Apply(data_->durable, write);
    data_->unsynced.clear();
    return 0;
  }
  bool CanWrite() const override { return writable_; }
  int Truncate(std::uint64_t size) override {
    if (!writable_) return EBADF;
    if (fs_.CountCall()) return EIO;
    FaultFileSystem::Write write{size, {}, true};
    Apply(data_->current, write);
    data_->unsynced.push_back(std::move(write));
    return 0;
  }
  int Size(std::uint64_t& size) override {
    if (fs_.CountCall()) return EIO;
    size = data_->current.size();
    return 0;
  }
  int TryLock(std::uint64_t offset, std::uint64_t length) override {
    for (const auto& r : data_->locks) {
      if (r.owner != this && r.offset < offset + length && offset < r.offset + r.length) return EAGAIN;
    }
    data_->locks.push_back({offset, length, this});
    return 0;
  }
  // Nobody else runs while a test waits: a conflict would never clear.
  int Lock(std::uint64_t offset, std::uint64_t length) override {
    int rc = TryLock(offset, length);
    return rc == EAGAIN ? EDEADLK : rc;
  }
  int Unlock(std::uint64_t offset, std::uint64_t length) override {
    auto& locks = data_->locks;
    auto it = std::find_if(locks.begin(), locks.end(), [&](const auto& r) {
      return r.owner == this && r.offset == offset && r.length == length;
    });
    if (it == locks.end()) return ENOLCK;
    locks.erase(it);
    return 0;
  }

 private:
  FaultFileSystem& fs_;
  std::shared_ptr<FaultFileSystem::Data> data_;
  bool writable_;
};

}  // namespace

bool FaultFileSystem::CountCall() {
  ++calls_;
  if (fail_at_ == 0) return false;
  if (calls_ == fail_at_ || (persistent_ && calls_ > fail_at_)) {
    failed_ = true;
    return true;
  }
  return false;
}

void FaultFileSystem::FailCall(std::uint64_t n, bool persistent) {
  fail_at_ = n == 0 ? 0 : calls_ + n;
  persistent_ = persistent;
  failed_ = false;
}

int FaultFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>& file) {
  auto it = files_.find(path);
  if (it == files_.end()) {
    if (!mode.create) return ENOENT;
    it = files_.emplace(path, std::make_shared<Data>()).first;
    it->second->entry_durable = false;
  }
  if (!it->second->entry_durable && mode.create) {
    // The directory flush that makes the new entry durable.
    if (CountCall()) return EIO;
    it->second->entry_durable = true;
  }
  file = std::make_unique<FaultFile>(*this, it->second, mode.write);
  return 0;
}

int FaultFileSystem::Remove(const std::string& path) { return files_.erase(path) ? 0 : ENOENT; }

void FaultFileSystem::Crash(CrashMode mode, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::erase_if(files_, [](const auto& file) { return !file.second->entry_durable; });
  for (auto& [path, data] : files_) {
    std::vector<std::uint8_t> bytes = data->durable;
    for (Write& write : data->unsynced) {
      if (mode == CrashMode::kLoseUnsynced) break;
      if (mode == CrashMode::kKeepUnsynced) {
        Apply(bytes, write);
        continue;
      }
      switch (random() % 3) {
        case 0:
          break;  // lost
        case 1:
          Apply(bytes, write);
          break;
        default: {
          if (write.truncate) break;
          // Torn: the sectors up to a random boundary reach the disk.
          std::uint64_t end = write.offset + write.bytes.size();
          std::uint64_t first_boundary = (write.offset / kSectorSize + 1) * kSectorSize;
          std::uint64_t boundaries = end > first_boundary ? (end - first_boundary) / kSectorSize + 1 : 0;
          if (boundaries == 0) break;
          std::uint64_t cut = std::min(end, first_boundary + (random() % boundaries) * kSectorSize);
          Write part{write.offset, {write.bytes.begin(), write.bytes.begin() + static_cast<std::ptrdiff_t>(cut - write.offset)}, false};
          Apply(bytes, part);
        }
      }
    }
    data->current = bytes;
    data->durable = std::move(bytes);
    data->unsynced.clear();
    data->locks.clear();
  }
}

std::vector<std::uint8_t> FaultFileSystem::Contents(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::vector<std::uint8_t>{} : it->second->current;
}

void FaultFileSystem::SetContents(const std::string& path, std::vector<std::uint8_t> bytes) {
  auto& data = files_[path];
  if (!data) data = std::make_shared<Data>();
  data->current = bytes;
  data->durable = std::move(bytes);
  data->unsynced.clear();
}

}  // namespace tavero::vmr
