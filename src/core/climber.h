// The climber record: a cursor standing on one node of one tree.
#pragma once

#include "core/tree.h"

namespace zell {

template <int D>
struct Climber {
  Coord<D> corner{};           // minimum corner of the node's cell
  Node<D>* node = nullptr;     // not counted: the tree keeps it alive
  int64_t level = 0;           // level of `node`
  Ref<Tree<D>> tree;           // the tree walked; null for an empty record
  Ref<PayloadCell> defaultCell;  // the tree's own default cell
};

}  // namespace zell
