// The tree's leaf cursors: a lookup that starts on a remembered leaf must
// find what a descent from the root finds, whatever happened to the tree
// since the leaf was remembered.
#include "storage/vmr/page_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <vector>

#include "storage/vmr/fault_file_system.h"
#include "storage/vmr/physical_file.h"
#include "storage/vmr/vmr_test_support.h"

namespace tavero::vmr {
namespace {

using testing_support::ApplyBatch;
using testing_support::Describe;
using testing_support::Model;
using testing_support::Snapshot;
using testing_support::Valid;

constexpr int kExclusive = 0x12 | kCreateFlag;
constexpr int kShared = 0x42 | kCreateFlag;
const std::string kPath = "CURSORS.VMR";

// Keys of three runs, as a table's rows, key entries and memo segments lie.
std::string Key(std::uint8_t run, std::uint32_t n) {
  std::string key("\0\0\0\x05", 4);
  key += static_cast<char>(run);
  for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>(n >> shift);
  return key;
}

std::optional<std::string> Expected(const Model& model, FindMode mode, const std::string& key) {
  auto it = model.lower_bound(key);
  switch (mode) {
    case FindMode::kExact:
      if (it != model.end() && it->first == key) return it->first;
      return std::nullopt;
    case FindMode::kFirstAbove:
      if (it != model.end() && it->first == key) ++it;
      [[fallthrough]];
    case FindMode::kFirstNotBelow:
      if (it == model.end()) return std::nullopt;
      return it->first;
    case FindMode::kLastBelow:
      if (it == model.begin()) return std::nullopt;
      return std::prev(it)->first;
  }
  return std::nullopt;
}

::testing::AssertionResult FindsAsModel(PhysicalFile& file, const Model& model, FindMode mode,
                                        const std::string& key) {
  std::optional<RecordCopy> found;
  Status s = file.Find(mode, key, found);
  if (!s.ok()) return ::testing::AssertionFailure() << "find " << Describe(s);
  const auto want = Expected(model, mode, key);
  const auto got = found ? std::optional<std::string>(std::string(found->key())) : std::nullopt;
  if (got != want) return ::testing::AssertionFailure() << "mode " << static_cast<int>(mode) << " differs";
  if (found && found->data() != model.at(*got)) return ::testing::AssertionFailure() << "data differs";
  return ::testing::AssertionSuccess();
}

class LeafCursors : public ::testing::Test {
 protected:
  std::unique_ptr<PhysicalFile> Open(int mode) {
    std::unique_ptr<PhysicalFile> file;
    Status s = PhysicalFile::Open(fs_, kPath, mode, file);
    EXPECT_TRUE(s.ok()) << Describe(s);
    return file;
  }
  // A file alone holding `count` records of 40 bytes, the i-th at key(i).
  std::unique_ptr<PhysicalFile> Filled(Model& model, std::uint32_t count,
                                       const std::function<std::string(std::uint32_t)>& key) {
    auto file = Open(kExclusive);
    Model batch;
    for (std::uint32_t i = 0; i < count; ++i) batch[key(i)] = std::string(40, 'd');
    EXPECT_TRUE(file && ApplyBatch(*file, batch, model).ok());
    return file;
  }
  FaultFileSystem fs_;
};

TEST_F(LeafCursors, LookupsMatchAModelThroughSplitsReleasesAndSeparatorChanges) {
  auto file = Open(kExclusive);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  Model model;
  std::mt19937 random(11);
  const FindMode modes[] = {FindMode::kExact, FindMode::kFirstNotBelow, FindMode::kFirstAbove, FindMode::kLastBelow};
  auto probe = [&] {
    // Near an existing key (the cursors' leaves), and anywhere.
    for (int i = 0; i < 4; ++i) {
      std::string key = Key(static_cast<std::uint8_t>(1 + random() % 3), random() % 5000);
      if (i == 0 && !model.empty()) {
        auto it = model.lower_bound(key);
        if (it != model.end()) key = it->first;
      }
      ASSERT_TRUE(FindsAsModel(*file, model, modes[random() % 4], key)) << key.size();
    }
  };
  for (int step = 0; step < 6000; ++step) {
    const std::uint8_t run = static_cast<std::uint8_t>(1 + random() % 3);
    std::string key;
    switch (step < 3000 ? random() % 4 : random() % 6) {
      case 0:  // appends at the end of a run
        key = Key(run, 2000 + step);
        break;
      case 1:  // descending: below the first record of leaves
        key = Key(run, 1999 - step % 2000);
        break;
      default:
        key = Key(run, random() % 5000);
    }
    auto it = model.find(key);
    if (it == model.end()) {
      const std::string data(random() % 4 == 0 ? 300 + random() % 600 : 20, static_cast<char>('a' + step % 26));
      ASSERT_TRUE(file->Insert(key, data).ok());
      model[key] = data;
    } else if (random() % 3 == 0) {
      const std::string data(random() % 900, 'r');
      ASSERT_TRUE(file->Replace(key, data).ok());
      it->second = data;
    } else {
      bool found = false;
      ASSERT_TRUE(file->Erase(key, found).ok());
      ASSERT_TRUE(found);
      model.erase(it);
    }
    if (step % 1000 == 999) {
      // Whole leaves leave the tree: a run's first records, then its middle.
      for (int i = 0; i < 300 && !model.empty(); ++i) {
        auto first = model.lower_bound(Key(run, 0));
        if (first == model.end() || first->first[4] != static_cast<char>(run)) break;
        bool found = false;
        ASSERT_TRUE(file->Erase(first->first, found).ok());
        model.erase(first);
      }
    }
    probe();
  }
  ASSERT_TRUE(Valid(*file, model.size()));
  ASSERT_TRUE(file->EndOperation().ok());
  Model seen;
  ASSERT_TRUE(Snapshot(*file, seen));
  EXPECT_EQ(seen, model);
}

TEST_F(LeafCursors, ScansStepAcrossLeavesInBothDirections) {
  Model model;
  auto file = Filled(model, 3000, [](std::uint32_t i) { return Key(2, i * 3); });
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->RefreshHeader().ok());
  // From the first record to the last and back, one step at a time.
  auto walk = [&](FindMode mode, std::string& key) {
    std::size_t seen = 1;
    for (;;) {
      std::optional<RecordCopy> r;
      EXPECT_TRUE(file->Find(mode, key, r).ok());
      if (!r) return seen;
      EXPECT_EQ(std::optional<std::string>(std::string(r->key())), Expected(model, mode, key));
      key = r->key();
      ++seen;
    }
  };
  std::string key = model.begin()->first;
  EXPECT_EQ(walk(FindMode::kFirstAbove, key), model.size());
  EXPECT_EQ(key, model.rbegin()->first);
  const std::size_t backward = walk(FindMode::kLastBelow, key);
  EXPECT_EQ(backward, model.size());
  ASSERT_TRUE(file->EndOperation().ok());
}

// Lookups in random order leave the leaf cursors behind: the leaf
// directory answers them, also at a leaf's first and last record, where the
// answer lies on the neighbouring leaf; a split or a released leaf between
// two rounds must not leave it answering from the tree before.
TEST_F(LeafCursors, LookupsAtRandomMatchAModelAtEveryLeafsEdges) {
  Model model;
  auto file = Filled(model, 4000, [](std::uint32_t i) { return Key(static_cast<std::uint8_t>(1 + i % 2), i * 2); });
  ASSERT_TRUE(file);
  std::mt19937 random(5);
  const FindMode modes[] = {FindMode::kExact, FindMode::kFirstNotBelow, FindMode::kFirstAbove, FindMode::kLastBelow};
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(file->BeginWrite().ok());
    ASSERT_TRUE(file->RefreshHeader().ok());
    std::vector<std::string> keys;
    for (const auto& [key, data] : model) {
      keys.push_back(key);
      std::string between = key;
      between.back() = static_cast<char>(between.back() + 1);  // absent: the numbers are even
      keys.push_back(between);
    }
    std::shuffle(keys.begin(), keys.end(), random);
    for (const std::string& key : keys) {
      for (FindMode mode : modes) ASSERT_TRUE(FindsAsModel(*file, model, mode, key));
    }
    // Leaves split in one run and leave the tree in the other.
    for (std::uint32_t i = 0; i < 600; ++i) {
      const std::string key = Key(1, 20000 + round * 10000 + i * 2 + 1);
      ASSERT_TRUE(file->Insert(key, std::string(200, 'n')).ok());
      model[key] = std::string(200, 'n');
    }
    for (int i = 0; i < 500; ++i) {
      auto first = model.lower_bound(Key(2, 0));
      if (first == model.end()) break;
      bool found = false;
      ASSERT_TRUE(file->Erase(first->first, found).ok());
      model.erase(first);
    }
    ASSERT_TRUE(Valid(*file, model.size()));
    ASSERT_TRUE(file->EndOperation().ok());
  }
}

// A walk that steps from where the last lookup found its record, while
// records come and go around it (its own among them) and leaves split: every
// step answers what a search from the key would.
TEST_F(LeafCursors, StepsFromAPositionMatchAModelWhileTheTreeChanges) {
  Model model;
  auto file = Filled(model, 3000, [](std::uint32_t i) { return Key(1, i * 8); });
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->BeginWrite().ok());
  ASSERT_TRUE(file->RefreshHeader().ok());
  std::mt19937 random(7);
  for (const bool forward : {true, false}) {
    const FindMode mode = forward ? FindMode::kFirstAbove : FindMode::kLastBelow;
    PageTree::Position at;
    const Record* record = nullptr;
    ASSERT_TRUE(file->Find(forward ? FindMode::kFirstNotBelow : FindMode::kLastBelow, Key(forward ? 1 : 2, 0), record,
                           at).ok());
    ASSERT_TRUE(record);
    std::string key(record->key());
    for (std::size_t steps = 0; steps < 100000; ++steps) {
      const std::uint32_t n = static_cast<std::uint32_t>(key[5]) << 24 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(key[6])) << 16 |
                              static_cast<std::uint32_t>(static_cast<std::uint8_t>(key[7])) << 8 | static_cast<std::uint8_t>(key[8]);
      switch (random() % 8) {
        case 0: {  // a record next to this one, on either side
          const std::string near = Key(1, random() % 2 ? n + 1 + random() % 3 : n - 1 - random() % 3);
          if (!model.contains(near)) {
            ASSERT_TRUE(file->Insert(near, std::string(random() % 4 ? 40 : 700, 'n')).ok());
            model[near] = "";
          }
          break;
        }
        case 1: {  // this record itself
          bool found = false;
          ASSERT_TRUE(file->Erase(key, found).ok());
          ASSERT_TRUE(found);
          model.erase(key);
          break;
        }
        default:
          break;
      }
      record = file->StepFrom(at, key, forward);
      if (!record) ASSERT_TRUE(file->Find(mode, key, record, at).ok());
      const auto want = Expected(model, mode, key);
      ASSERT_EQ(record ? std::optional<std::string>(std::string(record->key())) : std::nullopt, want) << steps;
      if (!record) break;
      key = record->key();
    }
  }
  // The inserts' data are not the model's: only the keys are compared.
  TreeStatistics statistics;
  ASSERT_TRUE(file->Validate(statistics).ok());
  EXPECT_EQ(statistics.records, model.size());
  ASSERT_TRUE(file->EndOperation().ok());
}

TEST_F(LeafCursors, AnotherStationsCommitIsSeenOnTheNextOperation) {
  auto a = Open(kShared);
  auto b = Open(kShared);
  ASSERT_TRUE(a && b);
  Model model, batch;
  for (std::uint32_t i = 0; i < 2000; ++i) batch[Key(1, i)] = std::string(30, 'a');
  ASSERT_TRUE(ApplyBatch(*a, batch, model).ok());
  // Station a stands on leaves all over the tree.
  Model seen;
  ASSERT_TRUE(Snapshot(*a, seen));
  ASSERT_TRUE(a->RefreshHeader().ok());
  for (std::uint32_t i = 0; i < 2000; i += 97) ASSERT_TRUE(FindsAsModel(*a, model, FindMode::kExact, Key(1, i)));
  ASSERT_TRUE(a->EndOperation().ok());

  // Station b empties most of those leaves and fills others: pages leave
  // the tree, split and move.
  batch.clear();
  for (std::uint32_t i = 0; i < 2000; ++i) {
    if (i % 10 != 0) batch[Key(1, i)] = "";
  }
  for (std::uint32_t i = 0; i < 1500; ++i) batch[Key(1, 100000 + i)] = std::string(200, 'b');
  ASSERT_TRUE(ApplyBatch(*b, batch, model).ok());

  ASSERT_TRUE(a->RefreshHeader().ok());
  for (std::uint32_t i = 0; i < 2000; i += 97) {
    ASSERT_TRUE(FindsAsModel(*a, model, FindMode::kExact, Key(1, i)));
    ASSERT_TRUE(FindsAsModel(*a, model, FindMode::kFirstAbove, Key(1, i)));
  }
  ASSERT_TRUE(a->EndOperation().ok());
  ASSERT_TRUE(Snapshot(*a, seen));
  EXPECT_EQ(seen, model);
  ASSERT_TRUE(Valid(*a, model.size()));
}

}  // namespace
}  // namespace tavero::vmr
