// Whole trees through the serialized form, with a codec that writes payload
// objects as their names: the byte layout, round trips, and loads that
// must change nothing when the input is refused.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "core/climber.h"
#include "core/range.h"
#include "persist/tree_io.h"
#include "raised.h"

using namespace zell;

namespace {

std::map<void*, int> held;  // references the core holds per object
void retain(void* o) { ++held[o]; }
void release(void* o) { --held[o]; }

// Objects are named cells; the name is the payload's encoding.
struct NamedCodec : PayloadCodec {
  std::map<std::string, std::string*> objects;
  void dump(void* object, msgpack::Writer& out) override {
    out.string(object ? *static_cast<std::string*>(object) : "P");
  }
  void* load(std::string_view bytes) override {
    std::string*& o = objects[std::string(bytes)];
    if (!o) o = new std::string(bytes.data(), bytes.size());
    retain(o);  // a new reference, as pickle.loads gives
    return o;
  }
  ~NamedCodec() override {
    for (auto& entry : objects) delete entry.second;
  }
};

struct TreeIoTest : ::testing::Test {
  void SetUp() override {
    payloadHooks = PayloadHooks{&retain, &release};
    held.clear();
  }
  NamedCodec codec;
  std::string names[4] = {"a", "b", "c", "dflt"};

  template <int D>
  std::string save(const Ref<Tree<D>>& t) {
    return TreeWriter<D>(codec).write(t.get());
  }
  template <int D>
  Error loadFailure(Ref<Tree<D>>& t, const std::string& bytes) {
    return raised([&] { TreeReader<D>(bytes, codec).load(t); }, "the input was accepted");
  }
  // A tree with payloads at several levels and a default.
  Ref<Tree<2>> sample() {
    Ref<Tree<2>> t = Tree<2>::create(0.5, {1.0, -2.0}, &names[3]);
    Climber<2>::createNodeByCoord(*t, {3.2, 0.1}, 0).setData(&names[0]);
    Climber<2>::createNodeByCoord(*t, {-1.0, -2.0}, 1).setData(&names[1]);
    t->root->data.set(&names[2]);
    return t;
  }
};

}  // namespace

TEST_F(TreeIoTest, OneCellTreeOfOneDimensionByteForByte) {
  Ref<Tree<1>> t = Tree<1>::create(1.0, {0.0}, nullptr);
  const int P = 'P';  // the codec's encoding of "no object"
  const std::initializer_list<int> layout = {
      0x96,                                                        // tree record
      0x91, 0xcb, 0,    0,    0,    0,    0,    0,    0,    0,     // anchor [0.0]
      0xcb, 0x3f, 0xf0, 0,    0,    0,    0,    0,    0,           // minNodeSize 1.0
      0x92, 0x92, 0xa1, P,    0xc2, 0x92, 0x92, 0xc0, 0xc0, 0xc2,  // root: [[P, false], [[nil, nil], false]]
      0x00,                                                        // depth 0
      0x91, 0xcb, 0x3f, 0xf0, 0,    0,    0,    0,    0,    0,     // sizes [1.0]
      0x92, 0xa1, P,    0xc2};                                     // default [P, false]
  std::string expected;
  for (int b : layout) expected += static_cast<char>(b);
  EXPECT_EQ(save(t), expected);
  Ref<Tree<1>> none;
  EXPECT_EQ(save(none), "\xc0");
}

TEST_F(TreeIoTest, FourDimensionalChildrenUseASixteenElementArray) {
  Ref<Tree<4>> t = Tree<4>::create(1.0, {0.0, 0.0, 0.0, 0.0}, nullptr);
  t->growToContain({1.5, 0.0, 0.0, 0.0});
  std::string bytes = save(t);
  EXPECT_NE(bytes.find("\x92\xdc\x00\x10\x92", 0, 5), std::string::npos);
}

TEST_F(TreeIoTest, RoundTripKeepsStructurePayloadsAndIdentity) {
  Ref<Tree<2>> source = sample();
  std::string bytes = save(source);
  Ref<Tree<2>> target = Tree<2>::create(7.0, {5.0, 5.0}, nullptr);
  Climber<2>::createNodeByCoord(*target, {90.0, 9.0}, 0).setData(&names[0]);
  Node<2>* root = target->root;
  PayloadCell* cell = target->defaultCell.get();
  Climber<2> onRoot = Climber<2>::atRoot(*target);
  Climber<2> below = Climber<2>::createNodeByCoord(*target, {5.0, 5.0}, 0);

  TreeReader<2>(bytes + "trailing", codec).load(target);
  EXPECT_EQ(save(target), bytes);
  EXPECT_EQ(target->root, root);  // the root node and the default cell stay
  EXPECT_EQ(target->defaultCell.get(), cell);
  EXPECT_EQ(*static_cast<std::string*>(target->defaultCell->payload.get()), "dflt");
  onRoot.ensureCurrent();
  EXPECT_EQ(onRoot.level, target->depth);
  EXPECT_THROW(below.ensureCurrent(), Error);
  EXPECT_EQ(held[&names[0]], 1);  // the old tree's payload went with it

  // An object that holds no tree receives one.
  Ref<Tree<2>> empty;
  TreeReader<2>(bytes, codec).load(empty);
  ASSERT_TRUE(empty);
  EXPECT_EQ(save(empty), bytes);
}

TEST_F(TreeIoTest, EveryTruncationIsRefusedAndChangesNothing) {
  std::string bytes = save(sample());
  Ref<Tree<2>> target = sample();
  std::string before = save(target);
  std::map<void*, int> heldBefore = held;
  for (size_t n = 0; n < bytes.size(); ++n) {
    loadFailure(target, bytes.substr(0, n));
    ASSERT_EQ(save(target), before) << "truncated to " << n;
  }
  for (auto& entry : codec.objects) EXPECT_EQ(held[entry.second], 0) << entry.first;
  for (auto& entry : heldBefore) EXPECT_EQ(held[entry.first], entry.second);
}

TEST_F(TreeIoTest, LoadedTreesMustKeepTheTreeInvariants) {
  using msgpack::Writer;
  // Writes a one-dimensional tree record from its parts.
  auto record = [](double minSize, uint64_t depth, std::vector<double> sizes, auto&& root, bool withDefault) {
    Writer w;
    w.arrayHeader(6);
    w.arrayHeader(1);
    w.float64(0.0);
    w.float64(minSize);
    root(w);
    w.uint(depth);
    w.arrayHeader(static_cast<uint32_t>(sizes.size()));
    for (double s : sizes) w.float64(s);
    if (withDefault) {
      w.arrayHeader(2);
      w.string("P");
      w.boolean(false);
    } else {
      w.nil();
    }
    return w.take();
  };
  // A node whose children are given level by level: `levels` nested sets.
  std::function<void(Writer&, int, int, bool)> node = [&](Writer& w, int levels, int present, bool has) {
    w.arrayHeader(2);
    w.arrayHeader(2);
    w.string("P");
    w.boolean(false);
    w.arrayHeader(2);
    w.arrayHeader(2);
    for (int c = 0; c < 2; ++c) {
      if (levels > 0 && c < present)
        node(w, levels - 1, present, true);
      else
        w.nil();
    }
    w.boolean(levels > 0 ? has : false);
  };
  auto leaf = [&](Writer& w) { node(w, 0, 0, false); };
  auto doublings = [](double minSize, int count) {
    std::vector<double> sizes;
    for (int l = 0; l < count; ++l) sizes.push_back(std::ldexp(minSize, l));
    return sizes;
  };
  struct Case {
    std::string bytes;
    const char* reason;
  } cases[] = {
      {record(0.0, 0, {0.0}, leaf, true), "minNodeSize is not positive and finite"},
      {record(1.0, 1, {1.0}, leaf, true), "sizes does not hold depth + 1 entries"},
      {record(1.0, 1, {1.0, 3.0}, leaf, true), "sizes are not the doublings of minNodeSize"},
      {record(1e300, 30, doublings(1e300, 31), leaf, true), "the tree's extent is not finite"},
      {record(
           1.0, 0, {1.0}, [](Writer& w) { w.nil(); }, true),
       "the root is missing"},
      {record(1.0, 0, {1.0}, leaf, false), "the default payload is missing"},
      {record(
           1.0, 1, {1.0, 2.0}, [&](Writer& w) { node(w, 1, 1, true); }, true),
       "a node marked as having children lacks some of them"},
      {record(
           1.0, 1, {1.0, 2.0}, [&](Writer& w) { node(w, 1, 2, false); }, true),
       "a node marked as having no children holds some"},
      {record(
           1.0, 1, {1.0, 2.0}, [&](Writer& w) { node(w, 2, 2, true); }, true),
       "a node lies below level 0"},
      {record(
           1.0, 0, {1.0}, [&](Writer& w) { node(w, 1, 2, true); }, true),
       "a node lies below level 0"},
  };
  for (const Case& c : cases) {
    Ref<Tree<1>> t = Tree<1>::create(1.0, {0.0}, nullptr);
    std::string before = save(t);
    Error e = loadFailure(t, c.bytes);
    EXPECT_EQ(e.kind(), ErrorKind::ValueError);
    EXPECT_EQ(e.message(), std::string("cannot load the tree: ") + c.reason);
    EXPECT_EQ(save(t), before);
  }
  // Nesting is bounded whatever the input claims, so hostile input cannot
  // exhaust the stack.
  Ref<Tree<1>> t = Tree<1>::create(1.0, {0.0}, nullptr);
  std::string deep = record(1.0, 64, {}, [&](Writer& w) { node(w, 70, 1, true); }, true);
  EXPECT_EQ(loadFailure(t, deep).message(), "serialized tree nests deeper than 65 levels");
}

TEST_F(TreeIoTest, ATreeOfAnotherDimensionIsRefusedAtItsAnchor) {
  std::string bytes = save(sample());
  Ref<Tree<1>> t = Tree<1>::create(1.0, {4.0}, nullptr);
  Error e = loadFailure(t, bytes);
  EXPECT_EQ(e.kind(), ErrorKind::IndexDefect);
  EXPECT_EQ(e.message(), "index 1 not in 0 .. 0");
  EXPECT_EQ(t->anchor[0], 4.0);
}

// A codec whose encoding runs code of its own, as pickling runs Python code:
// here it loads other bytes into the very tree being saved.
struct ReloadingCodec : NamedCodec {
  Ref<Tree<2>>* tree = nullptr;
  std::string replacement;
  void dump(void* object, msgpack::Writer& out) override {
    if (tree && object) {
      NamedCodec plain;
      TreeReader<2>(std::exchange(replacement, std::string()), plain).load(*tree);
      tree = nullptr;
    }
    NamedCodec::dump(object, out);
  }
};

TEST_F(TreeIoTest, ASaveDuringWhichTheTreeIsLoadedIsTheTreeAsItWas) {
  Ref<Tree<2>> t = sample();
  std::string before = save(t);
  Ref<Tree<2>> other = Tree<2>::create(0.25, {0.0, 0.0}, nullptr);
  Climber<2>::createNodeByCoord(*other, {3.0, 3.0}, 0);
  ReloadingCodec reloading;
  reloading.tree = &t;
  reloading.replacement = save(other);
  std::string replacement = reloading.replacement;
  // The nodes the load detaches stay alive until the walk over them ends.
  EXPECT_EQ(TreeWriter<2>(reloading).write(t.get()), before);
  EXPECT_EQ(save(t), replacement);
  EXPECT_TRUE(t->parked.empty());
  EXPECT_EQ(held[&names[0]], 0);
  EXPECT_EQ(held[&names[1]], 0);
}

// Stops a walk at its first question, as Ctrl-C does.
void interruptNow() { raise(ErrorKind::IOError, "interrupted"); }

TEST_F(TreeIoTest, LongWalksStopWhenInterrupted) {
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, &names[3]);
  for (int x = 0; x < 400; ++x)
    for (int y = 0; y < 300; ++y) Climber<2>::createNodeByCoord(*t, {x + 0.5, y + 0.5}, 0);
  std::string bytes = save(t);
  Ref<Tree<2>> target = sample();
  std::string before = save(target);
  Window<2> window = Window<2>::open(*t, {0.0, 0.0}, {399.0, 299.0});
  interruptHook = &interruptNow;
  EXPECT_EQ(raised([&] { save(t); }).message(), "interrupted");
  EXPECT_EQ(loadFailure(target, bytes).message(), "interrupted");
  EXPECT_EQ(raised([&] { WindowWalk<2>(*t, window).run([](const auto&, void*) {}); }).message(),
            "interrupted");
  interruptHook = nullptr;
  EXPECT_EQ(save(target), before);
  EXPECT_EQ(t->walkers, 0);
}
