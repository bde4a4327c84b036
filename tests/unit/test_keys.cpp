// The key of a point the tree already holds, taken by the short road of
// coordToKey, against the key of the same point under the general rule
// (keyOf, which saturates), at every depth a tree can reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/tree.h"

using namespace zell;

namespace {

// Points of the root's cube: its corners, the last double below its upper
// edge, a NaN coordinate, and spread ones.
std::vector<Coord<2>> pointsInside(const Tree<2>& tree, std::mt19937_64& random) {
  const double a0 = tree.anchor[0], a1 = tree.anchor[1], edge = tree.sizes.back();
  double top0 = std::nextafter(a0 + edge, a0), top1 = std::nextafter(a1 + edge, a1);
  double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<Coord<2>> points = {{a0, a1}, {top0, top1}, {a0, top1}, {nan, a1}, {top0, nan}};
  std::uniform_real_distribution<double> share(0.0, 1.0);
  for (int i = 0; i < 64; ++i) points.push_back({a0 + share(random) * edge, a1 + share(random) * edge});
  for (int i = 0; i < 16; ++i)  // near the upper edge, where rounding reaches 2^depth cells
    points.push_back({std::nextafter(top0, a0 - (i + 1) * edge), top1});
  return points;
}

}  // namespace

TEST(Keys, ContainedPointsTakeTheKeysOfTheGeneralRule) {
  std::mt19937_64 random(7);
  const double sizes[] = {1.0, 0.1, 3e-7, 1e-200};
  const double anchors[] = {0.0, -5.5, 1e6, -1e15};
  int64_t deepest = 0;
  for (double minSize : sizes)
    for (double anchor : anchors) {
      Ref<Tree<2>> tree = Tree<2>::create(minSize, {anchor, anchor}, nullptr);
      for (int64_t depth = 0; depth <= kMaxDepth; ++depth) {
        if (tree->depth < depth) {
          double far = anchor + std::ldexp(minSize, static_cast<int>(depth)) * 0.75;
          if (!std::isfinite(far)) break;
          try {
            tree->coordToKey({far, far});
          } catch (const Error&) {
            break;  // refused growth: the deepest tree of these sizes
          }
        }
        deepest = std::max(deepest, tree->depth);
        for (const Coord<2>& p : pointsInside(*tree, random)) {
          if (!tree->contains(p)) continue;
          EXPECT_EQ(tree->coordToKey(p), tree->keyOf(p))
              << "depth " << tree->depth << " point " << p[0] << ", " << p[1] << " minSize " << minSize;
        }
      }
    }
  EXPECT_EQ(deepest, kMaxDepth);  // both roads were taken
}

// A subnormal cell size divides inexactly: in a tree grown down and then up
// to 63 levels, the last double below the upper edge lies 2^63 cells from
// the anchor once rounded, a count no signed integer holds.
TEST(Keys, AnOffsetRoundedToTheEdgeAtDepth63TakesTheLastKey) {
  const double minSize = 0x0.012688b70e62bp-1022;
  Ref<Tree<2>> tree = Tree<2>::create(minSize, {0.0, 0.0}, nullptr);
  double down = -std::ldexp(minSize, 61) * 1.5;
  tree->coordToKey({down, down});
  double up = tree->anchor[0] + std::ldexp(minSize, 63) * 0.75;
  tree->coordToKey({up, up});
  ASSERT_EQ(tree->depth, 63);
  double top = std::nextafter(tree->anchor[0] + tree->sizes.back(), tree->anchor[0]);
  ASSERT_EQ((top - tree->anchor[0]) / minSize, 0x1p63);
  EXPECT_EQ(tree->coordToKey({top, top}), (Key<2>{UINT64_MAX >> 1, UINT64_MAX >> 1}));
}
