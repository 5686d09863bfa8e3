// The collection as one tree, without a window: a root row, the
// manufacturers under it, each manufacturer's card sets under it and each
// set's cards under the set, held in a queue in display order for a tree
// list with the format "800L*IT@s200@" (text, four colours, icon, level).
// Children are read only for the nodes that are expanded; a collapsed node
// costs one probe read to learn whether it has children.
//
// Invariants of a CollectionTree between calls:
//  (1) Row 1 is the root (level 0), always expanded; every other row follows
//      its parent, and the rows after a row with a deeper level are its
//      subtree, in key order.
//  (2) A row's stored level is negative exactly when the record has children
//      (loaded or not); level() answers the absolute value.
//  (3) A row is loaded exactly when its children are in the queue; a loaded
//      row other than the root has its node in the expanded-node list.
//  (4) A row's position is its record's position in its own file (POSITION
//      of the file: the record number), stable when key fields change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/dictionary/dictionary.h"
#include "storage/queues/queue.h"

namespace zephcol {

enum class TreeLevel : int { Root = 0, Manufacturer = 1, CardSet = 2, Card = 3 };

// A record in the tree: its level and its position in its file.
struct TreeNode {
  TreeLevel level = TreeLevel::Root;
  std::string position;
  bool operator==(const TreeNode&) const = default;
};

class CollectionTree {
 public:
  // The tree over the calling thread's MANUFACTURER, CARDSET and
  // SETINFORMATION (open while it is used). Empty until the first Load.
  CollectionTree();
  CollectionTree(const CollectionTree&) = delete;
  CollectionTree& operator=(const CollectionTree&) = delete;

  tavero::queues::Queue& queue() { return queue_; }
  int rows() { return queue_.Records(); }

  // Reading a row (1 to rows()).
  TreeLevel level(int row);
  bool has_children(int row);
  bool loaded(int row);
  std::string text(int row);  // without trailing blanks
  TreeNode node(int row);
  // The row's parent (0 for the root).
  int ParentRow(int row);
  // The row holding `node`, 0 when none does.
  int RowOf(const TreeNode& node);

  // Empties the queue and loads it again, expanding the nodes of the
  // expanded-node list. 0, or the error of a read that failed other than at
  // the end of a file (error_file() names the file); the rows read before
  // it stay.
  int Load();
  // The row's children read and put after it; the row re-read by its
  // position first (the error of that read, or of the children's, is
  // answered, and nothing changes when the re-read fails).
  int Expand(int row);
  // The row's subtree removed, the row re-read first as for Expand.
  int Contract(int row);
  // Reads the row's record again by its position into its file's record
  // buffer (the root reads nothing). 0 or the error.
  int Reget(int row);
  // Adds `node` to the expanded-node list (its children show at the next
  // Load).
  void Remember(const TreeNode& node);

  std::string_view error_file() const { return error_file_; }

  // The file of the records at `level` (not the root).
  static DataFile& FileOf(TreeLevel level);

 private:
  struct Row {
    std::string text;
    std::int32_t colours[4];
    std::int32_t icon;
    std::int32_t level;  // negative: has children
    bool loaded;
    std::string position;
  };
  void Read(int row);  // the entry into the queue's record
  Row Current() const;
  void Write(const Row& row);
  // Adds a row at next_row_ and advances it.
  void Insert(TreeLevel level, bool children, bool loaded, const std::string& position);
  void SetHasChildren(int row, bool children);
  bool Expanded(TreeLevel level, const std::string& position) const;
  void Forget(const TreeNode& node);
  int Fail(int error, DataFile& file);

  // Loading from the record buffers.
  int LoadSets(const std::string& manufacturer);
  int LoadCards(std::int32_t set);
  int ProbeSets(const std::string& manufacturer, bool& any);
  int ProbeCards(std::int32_t set, bool& any);
  std::string RowText(TreeLevel level);

  DataFile& manufacturers_;
  DataFile& sets_;
  DataFile& cards_;
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  tavero::queues::Queue queue_;
  std::vector<TreeNode> expanded_;  // the expanded-node list
  int next_row_ = 1;                // where Insert puts the next row
  std::string_view error_file_;
};

}  // namespace zephcol
