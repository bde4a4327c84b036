// The tree core on its own: construction, growth, keys, node storage and
// payload counting, with counters standing in for the interpreter.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "core/tree.h"
#include "raised.h"

using namespace zell;

namespace {

std::map<void*, int> counts;  // object -> references held by the core
void retain(void* o) { ++counts[o]; }
void release(void* o) { --counts[o]; }

struct CoreTest : ::testing::Test {
  void SetUp() override {
    payloadHooks = PayloadHooks{&retain, &release};
    counts.clear();
  }
};

int objects[4];
void* object(int i) { return &objects[i]; }

template <class T, class P>
Error refusedGrowth(T& tree, const P& p) {
  return raised([&] { tree.growToContain(p); }, "growth was not refused");
}

}  // namespace

TEST_F(CoreTest, NewTreeIsOneLevelZeroCell) {
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  EXPECT_EQ(t->depth, 0);
  EXPECT_EQ(t->size(), 1.0);
  EXPECT_EQ(t->root->children, nullptr);
  EXPECT_FALSE(t->defaultCell->payload.has());
  EXPECT_TRUE(t->contains({0.0, 0.0}));   // the anchor is inside
  EXPECT_FALSE(t->contains({1.0, 0.5}));  // anchor + size is outside
  EXPECT_TRUE(t->contains({NAN, 0.5}));   // NaN never makes a point outside
}

TEST_F(CoreTest, GrowthUpwardKeepsTheOldRootAtChildZero) {
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  Node<2>* first = t->root;
  t->growToContain({3.5, 0.5});
  EXPECT_EQ(t->depth, 2);
  EXPECT_EQ(t->size(), 4.0);
  EXPECT_EQ(t->anchor, (Coord<2>{0.0, 0.0}));
  Node<2>* middle = t->root->children->child(0);
  EXPECT_EQ(middle->children->child(0), first);
  for (int c = 1; c < 4; ++c) EXPECT_EQ(t->root->children->child(c)->children, nullptr);
}

TEST_F(CoreTest, GrowthDownwardMovesTheAnchorAndShiftsKeys) {
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  Node<2>* first = t->root;
  EXPECT_EQ(t->coordToKey({0.5, 0.5}), (Key<2>{0, 0}));
  EXPECT_EQ(t->coordToKey({-0.5, 1.5}), (Key<2>{0, 1}));  // below on axis 0 only
  EXPECT_EQ(t->anchor, (Coord<2>{-1.0, 0.0}));
  EXPECT_EQ(t->root->children->child(1), first);  // upper half on axis 0
  EXPECT_EQ(t->coordToKey({0.5, 0.5}), (Key<2>{1, 0}));

  Ref<Tree<1>> line = Tree<1>::create(1.0, {0.0}, nullptr);
  line->growToContain({-3.0});
  EXPECT_EQ(line->anchor[0], -3.0);
  EXPECT_EQ(line->depth, 2);
}

TEST_F(CoreTest, SizesAreExactDoublings) {
  Ref<Tree<3>> t = Tree<3>::create(0.1, {0.0, 0.0, 0.0}, nullptr);
  t->growToContain({0.75, 0.0, 0.0});
  ASSERT_EQ(t->sizes.size(), 4u);
  EXPECT_EQ(t->sizes, (std::vector<double>{0.1, 0.2, 0.4, 0.8}));
}

TEST_F(CoreTest, RefusedGrowthLeavesTheTreeUnchanged) {
  Ref<Tree<2>> t = Tree<2>::create(1.0, {0.0, 0.0}, nullptr);
  t->growToContain({5.0, 5.0});
  Node<2>* root = t->root;
  Coord<2> anchor = t->anchor;
  int64_t depth = t->depth;
  const double inf = std::numeric_limits<double>::infinity();
  for (const Coord<2>& p : {Coord<2>{inf, 0.0}, Coord<2>{0.0, -inf}, Coord<2>{std::ldexp(1.0, 64), 0.0},
                            Coord<2>{-std::ldexp(1.0, 70), 0.0}}) {
    Error e = refusedGrowth(*t, p);
    EXPECT_EQ(e.kind(), ErrorKind::ValueError);
    EXPECT_EQ(t->root, root);
    EXPECT_EQ(t->anchor, anchor);
    EXPECT_EQ(t->depth, depth);
    EXPECT_EQ(t->sizes.size(), static_cast<size_t>(depth) + 1);
  }
  // Exactly 64 levels is still allowed.
  t->growToContain({std::ldexp(1.0, 64) - std::ldexp(1.0, 12), 0.0});
  EXPECT_EQ(t->depth, 64);
  EXPECT_EQ(t->coordToKey({std::ldexp(1.0, 64) - std::ldexp(1.0, 12), 0.0})[0], UINT64_MAX - 4095);

  // An extent that would overflow to infinity is refused as well.
  Ref<Tree<1>> huge = Tree<1>::create(1e300, {0.0}, nullptr);
  EXPECT_EQ(refusedGrowth(*huge, Coord<1>{1.7e308}).kind(), ErrorKind::ValueError);
  EXPECT_EQ(huge->depth, 0);
}

TEST_F(CoreTest, ConstructionRefusesUnusableSizesAndAnchors) {
  for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)})
    EXPECT_THROW(Tree<1>::create(bad, {0.0}, nullptr), Error);
  EXPECT_THROW(Tree<2>::create(1.0, {NAN, 0.0}, nullptr), Error);
  EXPECT_THROW(Tree<2>::create(1.0, {0.0, -INFINITY}, nullptr), Error);
}

TEST_F(CoreTest, KeysOfCoordinates) {
  Ref<Tree<2>> t = Tree<2>::create(0.5, {0.0, 0.0}, nullptr);
  EXPECT_EQ(t->coordToKey({1.2, 0.0}), (Key<2>{2, 0}));
  EXPECT_EQ(t->depth, 2);
  EXPECT_EQ(t->coordToKey({NAN, 0.3}), (Key<2>{0, 0}));

  Ref<Tree<2>> a = Tree<2>::create(0.25, {10.0, 20.0}, nullptr);
  EXPECT_EQ(a->keyToCoord({4, 8}), (Coord<2>{11.0, 22.0}));
  EXPECT_EQ(a->coordToKey({11.1, 22.2}), (Key<2>{4, 8}));
  EXPECT_EQ(a->depth, 4);
  EXPECT_EQ(a->keyToCoord({1000, 0})[0], 260.0);  // beyond the root: no growth
  EXPECT_EQ(a->depth, 4);
}

TEST_F(CoreTest, KeyToCoordRoundsOnceAsAFusedMultiplyAdd) {
  Ref<Tree<1>> t = Tree<1>::create(0.1, {-0.3}, nullptr);
  double product = 3.0 * 0.1;
  EXPECT_NE(product + -0.3, std::fma(3.0, 0.1, -0.3));  // the case tells the two apart
  EXPECT_EQ(t->keyToCoord({3})[0], std::fma(3.0, 0.1, -0.3));
}

TEST_F(CoreTest, UpperEdgeRoundingStaysInTheLastCell) {
  // Points just below the root's upper edge whose quotient rounds up to
  // 2^depth belong to the last cell.
  int rounded = 0;
  for (double anchor : {-0.1, -1.0 / 3, 3.3, -100.3})
    for (double minSize : {0.1, 0.3, 0.7, 1.1, 0.37})
      for (int depth = 1; depth < 12; ++depth) {
        Ref<Tree<1>> t = Tree<1>::create(minSize, {anchor}, nullptr);
        t->growToContain({anchor + minSize * std::ldexp(1.5, depth - 1)});
        ASSERT_EQ(t->depth, depth);
        double p = std::nextafter(anchor + t->size(), 0.0 * anchor - 1e300);
        if (!t->contains({p})) continue;
        rounded += (p - anchor) / minSize >= std::ldexp(1.0, depth);
        EXPECT_EQ(t->coordToKey({p})[0], (uint64_t{1} << depth) - 1);
      }
  EXPECT_GT(rounded, 0) << "no case exercised the rounding";
}

TEST_F(CoreTest, PayloadsAreCountedAndReleasedWithTheTree) {
  {
    Ref<Tree<3>> t = Tree<3>::create(1.0, {0.0, 0.0, 0.0}, object(0));
    EXPECT_EQ(counts[object(0)], 1);
    t->growToContain({9.0, -9.0, 3.0});
    t->root->data.set(object(1));
    Node<3>* leaf = t->root->children->child(7);
    leaf->data.set(object(1));
    leaf->data.set(object(2));  // replacing releases the previous object
    EXPECT_EQ(counts[object(1)], 1);
    EXPECT_EQ(counts[object(2)], 1);
    Ref<PayloadCell> shared = t->defaultCell;  // a climber's share of the default
    t = Ref<Tree<3>>();
    EXPECT_EQ(counts[object(1)], 0);
    EXPECT_EQ(counts[object(2)], 0);
    EXPECT_EQ(counts[object(0)], 1);  // still held by the shared cell
  }
  EXPECT_EQ(counts[object(0)], 0);
}

// Walks from the root by the key's bits down to level 0, optionally giving
// nodes their children on the way.
template <int D, class K>
Node<D>* descend(Tree<D>& t, const K& k, bool create) {
  Node<D>* node = t.root;
  for (int64_t level = t.depth; level > 0; --level) {
    if (!node->children) {
      if (!create) return nullptr;
      t.store.addChildren(*node);
    }
    int child = 0;
    for (int i = 0; i < D; ++i) child |= static_cast<int>((k[i] >> (level - 1)) & 1) << i;
    node = node->children->child(child);
  }
  return node;
}

TEST_F(CoreTest, NodesKeepTheirPlaceAndAddressAsTheTreeGrows) {
  Ref<Tree<3>> t = Tree<3>::create(0.5, {0.0, 0.0, 0.0}, nullptr);
  const Coord<3> p{3.2, 1.1, 0.3};
  Node<3>* node = descend(*t, t->coordToKey(p), true);
  node->data.set(object(3));
  for (const Coord<3>& far :
       {Coord<3>{-40.0, 2.0, 2.0}, Coord<3>{100.0, -300.0, 7.0}, Coord<3>{0.0, 0.0, -1e4}}) {
    t->growToContain(far);
    EXPECT_EQ(descend(*t, t->coordToKey(p), false), node);
  }
  EXPECT_EQ(node->data.get(), object(3));
}
