// The walks over a tree's nodes: the window's bands and its walk by levels,
// the level iteration and the traversal of every payload, with code (here
// the store, the interrupt hook, a payload's loading) changing the tree in
// the middle of a walk as Python code would.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "core/climber.h"
#include "core/contents.h"
#include "core/range.h"
#include "persist/tree_io.h"

using namespace zell;

namespace {

// Payload objects are the entries of one array, each counted on its own by
// the hooks installed for the life of a test.
struct Objects {
  std::vector<int> items = std::vector<int>(1 << 20);
  std::vector<int64_t> counts = std::vector<int64_t>(1 << 20);
  void* at(size_t i) { return &items[i]; }
  size_t id(void* object) const { return static_cast<size_t>(static_cast<int*>(object) - items.data()); }
  int64_t held() const { return std::accumulate(counts.begin(), counts.end(), int64_t{0}); }
};
Objects* objects = nullptr;

struct CountedPayloads : Objects {
  CountedPayloads() {
    objects = this;
    payloadHooks = PayloadHooks{[](void* o) { ++objects->counts[objects->id(o)]; },
                                [](void* o) { --objects->counts[objects->id(o)]; }};
  }
  ~CountedPayloads() { interruptHook = nullptr; }
};

// Saves and loads payloads as their object numbers.
struct NumberCodec : PayloadCodec {
  void dump(void* object, msgpack::Writer& out) override {
    out.string(object ? std::to_string(objects->id(object)) : "-");
  }
  void* load(std::string_view bytes) override {
    if (bytes == "-") return nullptr;
    void* object = objects->at(std::stoul(std::string(bytes)));
    payloadHooks.retain(object);
    return object;
  }
};

template <int D>
void put(Tree<D>& tree, const Coord<D>& at, size_t object) {
  Climber<D>::createNodeByCoord(tree, at, 0).setData(objects->at(object));
}

// Walk order of level-0 keys: child numbers put axis 0 in the lowest bit.
uint64_t morton(uint64_t x, uint64_t y) {
  uint64_t code = 0;
  for (int b = 0; b < 32; ++b) code |= ((x >> b & 1) << (2 * b)) | ((y >> b & 1) << (2 * b + 1));
  return code;
}

struct Stored {
  int64_t x, y;
  size_t object;
};

template <int D>
std::vector<Stored> walkWindow(Tree<D>& tree, const Window<D>& window, bool banded,
                               const std::function<void()>& during = nullptr) {
  std::vector<Stored> stored;
  WindowWalk<D>(tree, window)
      .run(
          [&](const std::array<int64_t, D>& index, void* const* cells, int count) {
            // One cell, or a set: child c one further on each axis of its bits.
            for (int c = 0; c < count; ++c) {
              if (!cells[c]) continue;
              int64_t y = 0;
              if constexpr (D > 1) y = index[1] + (c >> 1 & 1);
              stored.push_back(Stored{index[0] + (c & 1), y, objects->id(cells[c])});
              if (during) during();
            }
          },
          banded);
  return stored;
}

}  // namespace

// A dense window goes band after band along axis 0, about 4096 cells of the
// result each, in Morton order within a band; a first band that finds its
// cells mostly empty has the rest walked at once, and so does a store that
// asks for no bands. Every cell of the window is stored once, with its own
// payload, and no cell outside it.
TEST(WindowWalk, BandsOfTheResultAndTheWalkAtOnce) {
  CountedPayloads payloads;
  // Stored in bands of `rows` rows from `origin`, Morton order within each.
  auto inBands = [](const std::vector<Stored>& stored, size_t from, int64_t ox, int64_t oy, int64_t rows) {
    for (size_t i = from + 1; i < stored.size(); ++i) {
      const Stored &a = stored[i - 1], &b = stored[i];
      int64_t bandA = a.x / rows, bandB = b.x / rows;
      EXPECT_TRUE(bandA < bandB ||
                  (bandA == bandB && morton(a.x + ox, a.y + oy) < morton(b.x + ox, b.y + oy)))
          << i << ": (" << a.x << ", " << a.y << ") before (" << b.x << ", " << b.y << ")";
    }
  };
  Ref<Tree<2>> full = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 100; ++y) put<2>(*full, {x + 0.5, y + 0.5}, 100 * x + y);
  // Cells 1 .. 99 by 3 .. 98: band edges fall inside level-1 nodes.
  Window<2> window = Window<2>::open(*full, {1.0, 3.0}, {99.0, 98.0});
  for (bool banded : {true, false}) {
    std::vector<Stored> stored = walkWindow(*full, window, banded);
    ASSERT_EQ(stored.size(), 99u * 96u) << banded;
    for (const Stored& s : stored) EXPECT_EQ(s.object, static_cast<size_t>(100 * (s.x + 1) + s.y + 3));
    inBands(stored, 0, 1, 3, banded ? 4096 / 96 : 1000);  // 42 rows a band
  }

  // Ten cells in the first band: the 60 rows after it are walked at once.
  Ref<Tree<2>> sparse = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  for (int y = 0; y < 10; ++y) put<2>(*sparse, {0.5, y + 0.5}, y);
  for (int x = 40; x < 100; ++x)
    for (int y = 0; y < 100; y += 3) put<2>(*sparse, {x + 0.5, y + 0.5}, 100 * x + y);
  std::vector<Stored> stored = walkWindow(*sparse, Window<2>::open(*sparse, {0.0, 0.0}, {99.0, 99.0}), true);
  ASSERT_EQ(stored.size(), 10u + 60u * 34u);
  inBands(stored, 10, 0, 0, 1000);
  EXPECT_EQ(payloads.held(), 10000 + 10 + 60 * 34);  // the walks hold nothing afterwards
  EXPECT_EQ(full->walkers + sparse->walkers, 0);
}

// The store loads another tree into the one walked, band after band: the
// rest of the window still comes from the tree the walk started on, whose
// nodes live until the walk ends and are released then.
TEST(WindowWalk, EveryBandReadsTheTreeTheWalkStartedOn) {
  CountedPayloads payloads;
  NumberCodec codec;
  Ref<Tree<2>> other = Tree<2>::create(1.0, {-64.0, 0.0}, nullptr);
  for (int x = 0; x < 100; ++x) put<2>(*other, {x + 0.5, 0.5}, 500000 + x);
  std::string saved = TreeWriter<2>(codec).write(other.get());

  Ref<Tree<2>> tree = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 100; ++y) put<2>(*tree, {x + 0.5, y + 0.5}, 100 * x + y);
  Window<2> window = Window<2>::open(*tree, {0.0, 0.0}, {99.0, 99.0});
  bool loaded = false;
  std::vector<Stored> stored = walkWindow(*tree, window, true, [&] {
    if (loaded) return;
    loaded = true;
    TreeReader<2>(saved, codec).load(tree);
    EXPECT_EQ(tree->parked.size(), 1u);
  });
  ASSERT_EQ(stored.size(), 10000u);
  for (const Stored& s : stored) EXPECT_EQ(s.object, static_cast<size_t>(100 * s.x + s.y));
  EXPECT_TRUE(tree->parked.empty());
  EXPECT_EQ(payloads.held(), 2 * 100);  // the loaded tree's and the other's: the first tree's are gone
}

namespace {

// A line of cells at 8k + 9, k < 40000, in a tree of 2^19 cells grown
// downward from its last (every node on the way to the first cell has
// children): the walk by levels asks for interrupts 240000 times above the
// cells.
Ref<Tree<1>> spreadLine() {
  Ref<Tree<1>> tree = Tree<1>::create(1.0, {524287.0}, nullptr);
  for (int k = 0; k < 40000; ++k) put<1>(*tree, {8.0 * k + 9.5}, k);
  return tree;
}
Tree<1>* changed = nullptr;  // the tree the interrupt hook changes
size_t storedWhenChanged = 0;
size_t storedSoFar = 0;

void expectEveryCellOnce(const std::vector<Stored>& stored, const std::vector<size_t>& added) {
  std::vector<int> times(1 << 20);
  for (const Stored& s : stored) {
    ++times[s.object];
    if (s.object < 40000) {
      EXPECT_EQ(s.x, 8 * static_cast<int64_t>(s.object) + 9);
    }
  }
  for (size_t k = 0; k < 40000; ++k) EXPECT_EQ(times[k], 1) << k;
  for (size_t k : added) EXPECT_EQ(times[k], 1) << k;
}

}  // namespace

// A sparse window is walked a level at a time. Nodes added while it walks
// would be missed behind it: it stops, and the walk in depth takes over,
// from the top when no cell was taken yet, else right behind the last set
// of cells taken. Either way every cell is taken once, and cells added
// ahead of the walk are taken too.
TEST(WindowWalk, TheWalkByLevelsHandsOverWhenTheTreeGainsNodes) {
  CountedPayloads payloads;
  // Cells added by the store while cells are being taken: ahead of the walk
  // in parts of the tree it had passed above (the last half of the window),
  // in a new set right after the last cell, in a new set beside the last one
  // taken, and behind it.
  for (size_t after : {1u, 20000u, 39999u}) {
    Ref<Tree<1>> tree = spreadLine();
    Window<1> window = Window<1>::open(*tree, {0.0}, {524287.0});
    size_t count = 0;
    std::vector<Stored> stored = walkWindow(*tree, window, false, [&] {
      if (++count != after) return;
      put<1>(*tree, {520000.5}, 600000);
      put<1>(*tree, {320002.5}, 600001);
      put<1>(*tree, {8.0 * (after - 1) + 10.5}, 600002);  // beside the last cell taken
      put<1>(*tree, {8.0 * (after - 1) + 7.5}, 600003);   // behind: may be missed
    });
    expectEveryCellOnce(stored, {600000, 600001, 600002});
  }

  // Cells added by a signal handler while the walk is still above the
  // cells (its first question comes after 100000 steps there), one of them
  // before the first cell.
  Ref<Tree<1>> tree = spreadLine();
  Window<1> window = Window<1>::open(*tree, {0.0}, {524287.0});
  changed = tree.get();
  storedSoFar = 0;
  storedWhenChanged = SIZE_MAX;
  interruptHook = [] {
    if (storedWhenChanged != SIZE_MAX) return;
    storedWhenChanged = storedSoFar;
    put<1>(*changed, {520000.5}, 600000);
    put<1>(*changed, {0.5}, 600001);  // before every cell, where the walk has passed: met from the top only
  };
  std::vector<Stored> stored = walkWindow(*tree, window, false, [] { ++storedSoFar; });
  interruptHook = nullptr;
  EXPECT_EQ(storedWhenChanged, 0u);
  expectEveryCellOnce(stored, {600000, 600001});
  EXPECT_EQ(tree->walkers, 0);
  EXPECT_EQ(payloads.held(), 40000 + 2);  // the trees of the cases before are gone
}

// The level iteration: the payloads of one level in Morton order with
// their keys, each with a count of its own; the root's level and levels
// above it; the end once the tree changes shape between steps.
TEST(ItemWalk, OneLevelAStepAtATimeUntilTheShapeChanges) {
  CountedPayloads payloads;
  Ref<Tree<2>> tree = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  tree->coordToKey({15.5, 15.5});  // depth 4
  std::vector<std::pair<uint64_t, uint64_t>> atLevel1 = {{2, 0}, {0, 2}, {14, 14}, {4, 8}, {6, 6}};
  for (size_t i = 0; i < atLevel1.size(); ++i)
    Climber<2>::createNodeByCoord(*tree, {atLevel1[i].first + 0.5, atLevel1[i].second + 0.5}, 1)
        .setData(objects->at(i));
  put<2>(*tree, {3.5, 3.5}, 10);  // a cell below a level-1 node that holds none
  Climber<2>::atRoot(*tree).setData(objects->at(11));
  std::sort(atLevel1.begin(), atLevel1.end(), [](const auto& a, const auto& b) {
    return morton(a.first, a.second) < morton(b.first, b.second);
  });

  auto items = [&](uint64_t level) {
    std::vector<std::pair<uint64_t, uint64_t>> keys;
    ItemWalk<2> walk(*tree, level);
    Key<2> key;
    Payload payload;
    while (walk.next(key, payload) == ItemWalk<2>::Step::Item) {
      keys.emplace_back(key[0], key[1]);
      EXPECT_EQ(payloads.counts[objects->id(payload.get())], 2);  // the node's and the item's
    }
    EXPECT_EQ(walk.next(key, payload), ItemWalk<2>::Step::End);
    return keys;
  };
  EXPECT_EQ(items(1), atLevel1);
  EXPECT_EQ(items(0), (std::vector<std::pair<uint64_t, uint64_t>>{{3, 3}}));
  EXPECT_EQ(items(4), (std::vector<std::pair<uint64_t, uint64_t>>{{0, 0}}));
  EXPECT_TRUE(items(5).empty());
  EXPECT_TRUE(items(3).empty());

  // Children added and growth change the shape; a payload set on a node
  // that exists does not.
  for (int change = 0; change < 3; ++change) {
    ItemWalk<2> walk(*tree, 1);
    Key<2> key;
    Payload payload;
    ASSERT_EQ(walk.next(key, payload), ItemWalk<2>::Step::Item);
    if (change == 0) Climber<2>::createNodeByCoord(*tree, {9.5, 1.5}, 0);
    if (change == 1) tree->coordToKey({-0.5, 0.5});
    if (change == 2) Climber<2>::createNodeByCoord(*tree, {3.5, 3.5}, 0).setData(objects->at(12));
    EXPECT_EQ(walk.next(key, payload),
              change < 2 ? ItemWalk<2>::Step::ShapeChanged : ItemWalk<2>::Step::Item);
    if (change < 2) {
      EXPECT_EQ(walk.next(key, payload), ItemWalk<2>::Step::End);
    }
  }
  EXPECT_EQ(tree->refs, 1);  // no walk holds the tree any more
}

// The collector's traversal: every payload once, the default included, and
// those of nodes a load parked while a walk is under way; no walk is
// marked, nothing is counted. The counts agree with the nodes stored.
TEST(ForEachPayload, EveryNodeParkedNodesAndTheDefault) {
  CountedPayloads payloads;
  NumberCodec codec;
  Ref<Tree<3>> other = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, objects->at(900));
  for (int i = 0; i < 20; ++i) put<3>(*other, {i + 0.5, 2.5, 7.5 - i}, 1000 + i);
  std::string saved = TreeWriter<3>(codec).write(other.get());

  Ref<Tree<3>> tree = Tree<3>::create(2.0, {0.0, 0.0, 0.0}, objects->at(800));
  for (int i = 0; i < 30; ++i) put<3>(*tree, {2.0 * i + 0.5, 2 * (i % 4) + 0.5, 0.5}, i);
  Climber<3>::atRoot(*tree).setData(objects->at(30));
  auto visits = [&] {
    std::vector<size_t> seen;
    forEachPayload(*tree, [&](void* object) { seen.push_back(objects->id(object)); });
    std::sort(seen.begin(), seen.end());
    return seen;
  };
  auto numbers = [](size_t from, size_t count, std::vector<size_t> more) {
    for (size_t i = 0; i < count; ++i) more.push_back(from + i);
    std::sort(more.begin(), more.end());
    return more;
  };
  int64_t held = payloads.held();
  EXPECT_EQ(visits(), numbers(0, 31, {800}));
  EXPECT_EQ(countNodes(*tree).nodes, tree->store.count());
  EXPECT_EQ(countNodes(*tree).payloads, 31u);
  {
    NodeWalk<3> walk(*tree);
    TreeReader<3>(saved, codec).load(tree);
    ASSERT_EQ(tree->parked.size(), 1u);
    EXPECT_EQ(visits(), numbers(0, 31, numbers(1000, 20, {900})));
    EXPECT_EQ(tree->walkers, 1);
  }
  EXPECT_EQ(visits(), numbers(1000, 20, {900}));
  EXPECT_EQ(countNodes(*tree).nodes, tree->store.count());
  EXPECT_EQ(payloads.held(), held - 31 - 1 + 21);  // the first tree's payloads and default went
}

// A node that goes takes its subtree with it: every node and payload below,
// former roots kept in sets by growth both ways included, is given back
// once, whether a load replaces the nodes or the tree goes.
TEST(NodeStore, NodesThatGoGiveBackTheirSubtrees) {
  CountedPayloads payloads;
  NumberCodec codec;
  Ref<Tree<3>> small = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, nullptr);
  put<3>(*small, {0.5, 0.5, 0.5}, 900);
  std::string saved = TreeWriter<3>(codec).write(small.get());
  for (bool load : {true, false}) {
    Ref<Tree<3>> tree = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, nullptr);
    for (int i = 0; i < 600; ++i) {
      double sign = i % 2 ? -1.0 : 1.0;
      put<3>(*tree, {sign * (i * 0.37 + 0.5), 1.5 * (i % 13) - 9.0, sign * 0.5 * i}, static_cast<size_t>(i));
      if (i % 50 == 0) Climber<3>::atRoot(*tree).setData(objects->at(700 + static_cast<size_t>(i)));
    }
    EXPECT_EQ(countNodes(*tree).nodes, tree->store.count());
    if (load) {
      TreeReader<3>(saved, codec).load(tree);
      EXPECT_EQ(countNodes(*tree).nodes, tree->store.count());
      EXPECT_EQ(tree->store.count(), small->store.count());
    } else {
      tree = Ref<Tree<3>>();
    }
    for (size_t i = 0; i < 800; ++i)
      ASSERT_EQ(payloads.counts[i], 0) << "payload " << i << (load ? " after a load" : "");
  }
}
