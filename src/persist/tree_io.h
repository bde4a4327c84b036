// A whole tree as one MessagePack value, payloads included:
//   tree     = [anchor (D float64), minNodeSize, root node or nil, depth,
//               sizes (list of float64), default payload or nil]
//   node     = [payload, [children (2^D nodes or nil), has children]]
//   payload  = [string holding the payload's encoding, has payload]
// Loading is all or nothing: the bytes are read into staged nodes, the
// result is checked against the tree's invariants, and only then does the
// tree take it. The root node and the default cell keep their identity.
//
// Encoding and decoding payloads runs Python code, which may grow, change
// or load the very tree being written or read, from this thread or another.
// The writer therefore takes everything but the nodes as its walk starts,
// and each node's children and payload when the walk meets the node (see
// TreeWalk): a save is the tree as the writer met it, and it always loads
// back.
#pragma once

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "core/walk.h"
#include "persist/msgpack.h"
#include "runtime/interrupts.h"

namespace zell {

// Turns payload objects into bytes and back; the interpreter side uses
// pickle. `dump` writes the encoding as one string; `load` returns a new
// reference.
class PayloadCodec {
 public:
  virtual ~PayloadCodec() = default;
  virtual void dump(void* object, msgpack::Writer& out) = 0;  // null: no object
  virtual void* load(std::string_view bytes) = 0;
  // Whether loading `bytes` runs no code and gives nothing a node keeps
  // when its payload is marked absent: such records may be recognised by
  // their bytes alone.
  virtual bool inert(std::string_view) const { return false; }
};

// [[nil x `slots`], false], after `flag` when it is not 0: what follows
// the payload in the record of a node without children.
template <size_t N>
constexpr std::array<char, N> childlessTailBytes(int slots, char flag) {
  std::array<char, N> bytes{};
  size_t n = 0;
  if (flag) bytes[n++] = flag;
  bytes[n++] = '\x92';
  if (slots <= 15) {
    bytes[n++] = static_cast<char>(0x90 + slots);
  } else {
    bytes[n++] = '\xdc';
    bytes[n++] = static_cast<char>(slots >> 8);
    bytes[n++] = static_cast<char>(slots & 0xff);
  }
  for (int c = 0; c < slots; ++c) bytes[n++] = '\xc0';
  bytes[n++] = '\xc2';
  return bytes;
}

// The fixed bytes of the record of a node without children, which are
// nearly all of a tree's: copied and compared at sizes known when compiling.
template <int D>
struct ChildlessRecord {
  static constexpr int kSlots = ChildSet<D>::kCount;
  static constexpr size_t kTailSize = 1 + (kSlots <= 15 ? 1 : 3) + kSlots + 1;
  // What opens it: the node's array and its payload's.
  static constexpr std::array<char, 2> kHead{'\x92', '\x92'};
  // What follows the payload: [[nil x 2^D], false].
  static constexpr std::array<char, kTailSize> kTail = childlessTailBytes<kTailSize>(kSlots, 0);
  // The payload's presence flag, true, and the same.
  static constexpr std::array<char, 1 + kTailSize> kPresentTail =
      childlessTailBytes<1 + kTailSize>(kSlots, '\xc3');
  static std::string_view tail() { return std::string_view(kTail.data(), kTail.size()); }
};

// A tree record holds at most 64 levels below its root.
constexpr int kMaxNodeNesting = static_cast<int>(kMaxDepth) + 1;

template <int D>
class TreeWriter {
 public:
  explicit TreeWriter(PayloadCodec& codec) : codec_(codec) {}

  // `tree` may be null: an object that holds no tree writes nil.
  std::string write(Tree<D>* tree) { return std::string(writeInPlace(tree)); }
  // As write, the bytes staying in the writer: valid while it lives.
  std::string_view writeInPlace(Tree<D>* tree) {
    if (!tree) {
      out_.nil();
      return out_.bytes();
    }
    // The record of an empty leaf holds the first payload encoding, which
    // runs Python code: it is made before the walk starts, so that nothing
    // runs between taking the header and meeting the root.
    size_t leafSize = emptyLeaf().size();
    TreeWalk<D, Code::MayRun> walk(*tree);
    Coord<D> anchor = tree->anchor;
    double minNodeSize = tree->minNodeSize;
    int64_t depth = walk.depth();
    std::vector<double> sizes = tree->sizes;
    bool hasDefaultCell = static_cast<bool>(tree->defaultCell);
    Payload defaultPayload = hasDefaultCell ? tree->defaultCell->payload.shared() : Payload();

    // Every node takes at least the bytes of an empty leaf.
    out_.reserve(tree->store.count() * leafSize + 64);
    out_.arrayHeader(6);
    out_.arrayHeader(D);
    for (double a : anchor) out_.float64(a);
    out_.float64(minNodeSize);
    if (walk.root()) {
      Nodes nodes(*this);
      walk.depthFirst(nodes);
    } else {
      out_.nil();
    }
    out_.uint(static_cast<uint64_t>(depth));
    out_.arrayHeader(static_cast<uint32_t>(sizes.size()));
    for (double s : sizes) out_.float64(s);
    if (hasDefaultCell)
      payload(defaultPayload);
    else
      out_.nil();
    return out_.bytes();
  }

 private:
  // A node's record is written as the walk meets the node, up to its
  // children's; what follows them when it has children.
  struct Nodes : WalkVisitor<D> {
    explicit Nodes(TreeWriter& w) : writer(w) {}
    // Inlined where the walk meets nodes: most are leaves, whose records
    // take a few bytes, and a call for each, with its place in memory,
    // would cost more than writing them.
    __attribute__((always_inline)) bool enter(const Place<D>& at, typename WalkVisitor<D>::State&) {
      msgpack::Writer& out = writer.out_;
      // Most nodes of a tree are empty leaves, and most others leaves with
      // a payload: the parts of their records that never change within one
      // serialization are written once and then copied.
      if (!at.children && !at.node->data.has()) {
        out.raw(writer.emptyLeaf_);
        return false;
      }
      if (!at.children) {
        // [[string, true], [nil x 2^D, false]]: two prepared runs around
        // the payload's string.
        out.raw(ChildlessRecord<D>::kHead);
        writer.payloadString(at.node->data);
        out.raw(ChildlessRecord<D>::kPresentTail);
        return false;
      }
      out.arrayHeader(2);
      writer.payload(at.node->data);
      out.arrayHeader(2);
      out.arrayHeader(ChildSet<D>::kCount);
      return true;
    }
    void leave(const Place<D>&, typename WalkVisitor<D>::State&) { writer.out_.boolean(true); }
    TreeWriter& writer;
  };

  // The object and its presence are taken together, and the object is held
  // while its encoding runs, which may replace the node's payload.
  void payload(const Payload& p) {
    Payload held = p.shared();
    out_.arrayHeader(2);
    codec_.dump(held.get(), out_);
    out_.boolean(held.has());
  }
  // The string of a payload that is present, held likewise.
  void payloadString(const Payload& p) {
    Payload held = p.shared();
    codec_.dump(held.get(), out_);
  }

  const std::string& emptyLeaf() {
    if (emptyLeaf_.empty()) {
      size_t start = out_.bytes().size();
      out_.arrayHeader(2);
      payload(Payload());
      out_.raw(ChildlessRecord<D>::kTail);
      emptyLeaf_ = std::string(out_.bytes().substr(start));
      out_.truncate(start);
    }
    return emptyLeaf_;
  }
  PayloadCodec& codec_;
  msgpack::Writer out_;
  std::string emptyLeaf_;
};

template <int D>
class TreeReader {
 public:
  // Reads `bytes` in place: the caller keeps them alive during the load.
  TreeReader(std::string_view bytes, PayloadCodec& codec) : in_(bytes), codec_(codec) {}

  // Loads into `*home`; a nil serialization leaves it as it is. `home` may
  // be null (an object that holds no tree): it then receives a new tree.
  void load(Ref<Tree<D>>& home) {
    if (in_.nil()) return;
    bool hadTree = static_cast<bool>(home);
    Ref<Tree<D>> target = hadTree ? home : makeRef<Tree<D>>();
    Staged staged(*target);
    read(staged);
    check(staged);
    // The staged nodes belong to the tree made here; if another load gave
    // the object a tree while payloads were read, they cannot go there.
    if (!hadTree && home) raiseValue("another load gave this object a tree while this one was read");
    commit(staged, *target);
    home = target;
  }  // the staging lets go of what the tree gave up

 private:
  // What the input says, held apart from the tree until it has been checked.
  // Its nodes come from the tree's own store; after the commit it holds the
  // tree's former contents.
  struct Staged {
    explicit Staged(Tree<D>& t) : tree(t), store(t.store) {}
    Staged(const Staged&) = delete;
    ~Staged() {
      if (!root) return;
      if (committed)
        tree.detach(root, formerDepth);
      else
        store.deleteNode(root);
    }
    Tree<D>& tree;
    NodeStore<D>& store;
    bool committed = false;
    int64_t formerDepth = 0;  // the tree's, once committed: the level of the nodes it gave up
    Coord<D> anchor{};
    uint32_t anchorCount = 0;  // coordinates the input gave
    double minNodeSize = 0.0;
    Node<D>* root = nullptr;
    uint64_t depth = 0;
    std::vector<double> sizes;
    Payload defaultPayload;
    bool hasDefault = false;
    int height = 0;       // node levels from the root down, root included
    std::string problem;  // the first broken invariant met while reading
  };

  // Frees a node read only to be refused.
  struct Discarded {
    NodeStore<D>& store;
    Node<D>* node;
    ~Discarded() { store.deleteNode(node); }
  };

  void read(Staged& s) {
    uint32_t count = 0;
    bool hadCount = in_.recordHeader(count);
    s.anchorCount = in_.fixedArrayHeader();
    for (uint32_t i = 0; i < s.anchorCount; ++i) {
      double v = in_.float64();
      if (i >= static_cast<uint32_t>(D)) raiseIndex(i, D - 1);
      s.anchor[i] = v;
    }
    s.minNodeSize = in_.float64();
    if (!in_.nil()) {
      s.root = s.store.newNode();
      node(s, *s.root, 1);
    }
    s.depth = in_.uint();
    uint32_t n = in_.float64ListHeader();
    s.sizes.reserve(n);
    for (uint32_t i = 0; i < n; ++i) s.sizes.push_back(in_.float64());
    if (!in_.nil()) {
      s.hasDefault = true;
      payload(s.defaultPayload);
    }
    msgpack::Reader::recordCheck(hadCount, count, 6);
  }

  void node(Staged& s, Node<D>& n, int nesting) {
    if (nesting > kMaxNodeNesting) raiseValue("serialized tree nests deeper than 65 levels");
    poll_.step();
    if (nesting > s.height) s.height = nesting;
    if (childless(n)) return;
    uint32_t count = 0;
    bool hadCount = in_.recordHeader(count);
    std::string_view bytes = payload(n.data);
    // A leaf's children part is always the same bytes.
    if (in_.skipIf(ChildlessRecord<D>::tail())) {
      msgpack::Reader::recordCheck(hadCount, count, 2);
      if (!n.data.has()) noteInert(bytes);
      return;
    }
    children(s, n, nesting);
    msgpack::Reader::recordCheck(hadCount, count, 2);
  }

  // Reads the record of a node without children, [[string, has], [nil x
  // 2^D, false]], in one step when it comes next in its usual bytes: fixed
  // but for the string (in a header of one or two bytes) and the flag.
  // Anything else, a record cut short included, is left unread to the full
  // reading, which gives its errors: false.
  bool childless(Node<D>& n) {
    using Record = ChildlessRecord<D>;
    std::string_view rest = in_.rest();
    const auto* p = reinterpret_cast<const uint8_t*>(rest.data());
    if (rest.size() < 4 || p[0] != 0x92 || p[1] != 0x92) return false;
    size_t head = 3, size = p[2] & 0x1f;  // fixstr
    if ((p[2] & 0xe0) != 0xa0) {
      if (p[2] != 0xd9) return false;
      head = 4;  // str 8
      size = p[3];
    }
    size_t flagAt = head + size, end = flagAt + 1 + Record::kTailSize;
    if (rest.size() < end || (p[flagAt] != 0xc2 && p[flagAt] != 0xc3) ||
        std::memcmp(p + flagAt + 1, Record::kTail.data(), Record::kTailSize) != 0)
      return false;
    std::string_view bytes = rest.substr(head, size);
    bool has = p[flagAt] == 0xc3;
    in_.skip(end);
    // An absent payload whose string is known to load without effect
    // leaves the node as it is.
    if (!has && inertKnown_ && bytes == inert_) return true;
    n.data.adopt(codec_.load(bytes));
    if (!has) {
      n.data.clear();  // only the flag decides whether it counts as present
      noteInert(bytes);
    }
    return true;
  }
  // Keeps the first inert string of an absent payload: the same string
  // again need not be loaded.
  void noteInert(std::string_view bytes) {
    if (inertKnown_ || !codec_.inert(bytes)) return;
    inertKnown_ = true;
    inert_ = bytes;
  }

  // The children part of a node record: [[2^D nodes or nil], has children].
  void children(Staged& s, Node<D>& n, int nesting) {
    uint32_t count = 0;
    bool hadCount = in_.recordHeader(count);
    uint32_t slots = in_.fixedArrayHeader();
    int present = 0;
    for (uint32_t i = 0; i < slots; ++i) {
      if (i >= static_cast<uint32_t>(ChildSet<D>::kCount)) {
        if (!in_.nil()) {
          Discarded extra{s.store, s.store.newNode()};
          node(s, *extra.node, nesting + 1);
        }
        raiseIndex(i, ChildSet<D>::kCount - 1);
      }
      if (in_.nil()) continue;  // the place stays an empty node until checked
      if (!n.children) s.store.addChildren(n);
      ++present;
      node(s, *n.children.child(static_cast<int>(i)), nesting + 1);
    }
    bool has = in_.boolean();
    msgpack::Reader::recordCheck(hadCount, count, 2);
    bool complete = has ? present == ChildSet<D>::kCount : present == 0;
    if (!complete && s.problem.empty())
      s.problem = has ? "a node marked as having children lacks some of them"
                      : "a node marked as having no children holds some";
  }

  // Reads a payload record; returns its string.
  std::string_view payload(Payload& p) {
    uint32_t count = 0;
    bool hadCount = in_.recordHeader(count);
    std::string_view bytes = in_.string();
    p.adopt(codec_.load(bytes));
    bool has = in_.boolean();
    msgpack::Reader::recordCheck(hadCount, count, 2);
    if (!has) p.clear();  // only `has` decides whether it counts as present
    return bytes;
  }

  static void check(const Staged& s) {
    auto refuse = [](const std::string& what) { raiseValue("cannot load the tree: " + what); };
    if (s.anchorCount != static_cast<uint32_t>(D))
      refuse("the anchor has " + std::to_string(s.anchorCount) + " coordinates, not " + std::to_string(D));
    if (!(s.minNodeSize > 0.0) || std::isinf(s.minNodeSize)) refuse("minNodeSize is not positive and finite");
    for (double a : s.anchor)
      if (!std::isfinite(a)) refuse("the anchor is not finite");
    if (s.depth > static_cast<uint64_t>(kMaxDepth)) refuse("depth is above 64");
    if (s.sizes.size() != s.depth + 1) refuse("sizes does not hold depth + 1 entries");
    for (size_t l = 0; l < s.sizes.size(); ++l)
      if (s.sizes[l] != std::ldexp(s.minNodeSize, static_cast<int>(l)))
        refuse("sizes are not the doublings of minNodeSize");
    // Growth never makes a tree whose extent overflows; neither may a load.
    for (double a : s.anchor)
      if (!std::isfinite(a + s.sizes.back())) refuse("the tree's extent is not finite");
    if (!s.root) refuse("the root is missing");
    if (!s.hasDefault) refuse("the default payload is missing");
    if (!s.problem.empty()) refuse(s.problem);
    if (static_cast<uint64_t>(s.height) > s.depth + 1) refuse("a node lies below level 0");
  }

  // The tree takes the staged contents in exchange for its own, which the
  // staging lets go of afterwards. The root node object and the default cell
  // stay the same objects. Whatever may fail comes first: once the tree
  // starts to change, nothing fails and no Python code runs.
  static void commit(Staged& s, Tree<D>& t) {
    t.prepareToDetach();
    if (!t.defaultCell) t.defaultCell = makeRef<PayloadCell>();
    if (t.root) {
      std::swap(t.root->children, s.root->children);
      t.root->data.swap(s.root->data);
    } else {
      t.root = std::exchange(s.root, nullptr);
    }
    t.defaultCell->payload.swap(s.defaultPayload);
    t.anchor = s.anchor;
    t.minNodeSize = s.minNodeSize;
    s.formerDepth = t.depth;
    t.depth = static_cast<int64_t>(s.depth);
    t.sizes.swap(s.sizes);
    t.countLoad();
    s.committed = true;
  }

  msgpack::Reader in_;
  PayloadCodec& codec_;
  InterruptPoll poll_;
  bool inertKnown_ = false;
  std::string_view inert_;  // in the input: the first inert string of an absent payload
};

}  // namespace zell
