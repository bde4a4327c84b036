// What a tree holds: how many nodes and payloads, and a walk over the
// payloads of one level that goes a step at a time, with code of the
// caller's running between steps.
#pragma once

#include <vector>

#include "core/tree.h"

namespace zell {

struct NodeCounts {
  uint64_t nodes = 0;
  uint64_t payloads = 0;  // nodes holding a payload of their own
};

template <int D>
void countSet(Children<D> set, NodeCounts& counts) {
  for (int c = 0; c < ChildSet<D>::kCount; ++c) {
    const Node<D>* child = set.child(c);
    ++counts.nodes;
    counts.payloads += child->data.has();
    if (child->children) countSet(child->children, counts);
  }
}

// Every node of the tree, the root included; no code runs meanwhile.
template <int D>
NodeCounts countNodes(const Tree<D>& tree) {
  NodeCounts counts;
  counts.nodes = 1;
  counts.payloads = tree.root->data.has();
  if (tree.root->children) countSet(tree.root->children, counts);
  return counts;
}

// The nodes of one level that hold a payload, in the order of a walk in
// depth (children in the order of their numbers), each with the level-0
// key of its minimum corner. Between two steps any code may run: the walk
// holds its tree, and once the tree has changed shape (nodes added, growth,
// a load) it says so instead of reading nodes that may be gone. Payloads
// set or removed meanwhile are seen or not as the walk reaches them.
template <int D>
class ItemWalk {
 public:
  enum class Step { Item, End, ShapeChanged };

  ItemWalk(Tree<D>& tree, uint64_t level) : tree_(&tree), shape_(tree.shape), depth_(tree.depth) {
    if (level > static_cast<uint64_t>(depth_)) return;  // no node lies that high
    level_ = static_cast<int64_t>(level);
    if (level_ == depth_) {
      rootPending_ = true;
    } else if (Children<D> top = tree.root->children) {
      // A frame for every level from below the root down to `level`: pushing
      // never moves them.
      frames_.resize(static_cast<size_t>(depth_ - level_));
      enter(top, Key<D>{});
    }
  }

  // The next node: its key, and a count of its own on its payload. After
  // the end, and after a change of shape has been reported, the walk ends.
  Step next(Key<D>& key, Payload& payload) {
    if (!tree_) return Step::End;
    if (tree_->shape != shape_) return finish(Step::ShapeChanged);
    if (rootPending_) {
      rootPending_ = false;
      if (tree_->root->data.has()) return found(Key<D>{}, *tree_->root, key, payload);
    }
    while (top_ > 0) {
      Frame& frame = frames_[top_ - 1];
      if (frame.next == ChildSet<D>::kCount) {
        --top_;
        continue;
      }
      int c = frame.next++;
      const Node<D>& child = *frame.set.child(c);
      // The frames hold the sets from the level below the root down.
      int64_t level = depth_ - static_cast<int64_t>(top_);
      if (level == level_) {
        if (child.data.has())
          return found(childKey<D>(frame.key, c, uint64_t{1} << level), child, key, payload);
      } else if (child.children) {
        enter(child.children, childKey<D>(frame.key, c, uint64_t{1} << level));
      }
    }
    return finish(Step::End);
  }

 private:
  // A child set, the key of its parent, and the number of the next child.
  struct Frame {
    Children<D> set;
    Key<D> key;
    int next;
  };

  // Pushes the frame of `set`, whose parent is at `key`. What the walk reads
  // next among its children is fetched now: the sets of those that have
  // children, or at the level walked, the payloads.
  void enter(Children<D> set, const Key<D>& key) {
    frames_[top_++] = Frame{set, key, 0};
    bool last = depth_ - static_cast<int64_t>(top_) == level_;
    for (int c = 0; c < ChildSet<D>::kCount; ++c) {
      const Node<D>* child = set.child(c);
      if (last) {
        if (void* object = child->data.get()) __builtin_prefetch(object, 1);
      } else if (Children<D> below = child->children) {
        __builtin_prefetch(below.set());
      }
    }
  }

  static Step found(const Key<D>& at, const Node<D>& node, Key<D>& key, Payload& payload) {
    key = at;
    Payload held = node.data.shared();
    payload.swap(held);
    return Step::Item;
  }
  // Lets go of the tree (whose release may run code) as the walk ends.
  Step finish(Step step) {
    top_ = 0;
    Ref<Tree<D>> released = std::move(tree_);
    return step;
  }

  Ref<Tree<D>> tree_;
  uint64_t shape_;
  int64_t depth_;
  int64_t level_ = 0;
  bool rootPending_ = false;
  std::vector<Frame> frames_;
  size_t top_ = 0;  // frames in use
};

}  // namespace zell
