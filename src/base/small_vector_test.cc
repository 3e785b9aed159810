// Tests SmallVector: elements kept inline and then on the heap, copies and moves.
#include "base/small_vector.h"

#include <new>
#include <vector>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

using Ints = SmallVector<int, 2>;

void append(Ints& v, int value) {
  ::new (v.prepare_back()) int(value);
  v.commit_back();
}

std::vector<int> values(const Ints& v) { return {v.begin(), v.end()}; }

TEST(SmallVector, KeepsEveryElementAcrossGrowthCopiesAndMoves) {
  for (const int count : {0, 1, 2, 3, 5, 100}) {
    SCOPED_TRACE(count);
    Ints v;
    std::vector<int> expected;
    for (int i = 0; i < count; ++i) {
      append(v, i * 7);
      expected.push_back(i * 7);
    }
    EXPECT_EQ(values(v), expected);

    Ints copy(v);
    Ints assigned{-1, -2, -3};
    assigned = v;
    EXPECT_EQ(values(copy), expected);
    EXPECT_EQ(values(assigned), expected);

    Ints moved(std::move(copy));
    EXPECT_EQ(values(moved), expected);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from list is empty
    append(copy, 9);            // and usable again
    EXPECT_EQ(values(copy), std::vector<int>{9});

    Ints move_assigned{-1, -2, -3};
    move_assigned = std::move(assigned);
    EXPECT_EQ(values(move_assigned), expected);

    // A prepared element is not counted until it is committed.
    ::new (v.prepare_back()) int(42);
    EXPECT_EQ(v.size(), static_cast<std::size_t>(count));
  }
}

}  // namespace
}  // namespace lintkeeper
