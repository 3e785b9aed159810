// Tests the record store: records come back as they went in, across many chunks, with
// records larger than a chunk and numbers of every varint length.
#include "findings/line_store.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

struct Kept {
  std::uint64_t number;
  std::string text;
  std::vector<std::string> messages;  // "KIND text"
};

std::string describe(const Finding& m) {
  return std::string(kind_name(m.kind)) + " " + std::string(m.text);
}

TEST(LineStore, GivesBackEveryRecordInOrder) {
  LineStore store;
  std::vector<Kept> expected;
  const std::uint64_t numbers[] = {1, 127, 128, 16383, 16384, UINT64_MAX};
  for (int i = 0; i < 20000; ++i) {
    Kept kept{numbers[i % 6] + (i % 6 == 5 ? 0 : static_cast<std::uint64_t>(i)), "", {}};
    // Mostly short lines; now and then one larger than any chunk.
    kept.text = i % 5000 == 7 ? std::string((9 << 20) + i, 'x') : std::string(i % 90, 'a' + i % 26);
    std::vector<Finding> messages;
    std::vector<std::string> texts;
    for (int m = 0; m < i % 4; ++m) texts.push_back(std::string(m * 50 + i % 7, 'm'));
    for (int m = 0; m < i % 4; ++m) {
      messages.push_back({texts[m], static_cast<MessageKind>((m + i) % KIND_COUNT), kept.number});
      kept.messages.push_back(describe(messages.back()));
    }
    store.append(kept.number, kept.text, messages);
    expected.push_back(std::move(kept));
  }
  ASSERT_EQ(store.size(), expected.size());
  LineStore::Cursor cursor = store.cursor();
  LineRecord record{};
  for (const Kept& kept : expected) {
    ASSERT_TRUE(cursor.next(record));
    EXPECT_EQ(record.number, kept.number);
    ASSERT_EQ(record.text, kept.text);
    std::vector<std::string> messages;
    for (const Finding& m : record.findings) messages.push_back(describe(m));
    EXPECT_EQ(messages, kept.messages);
  }
  EXPECT_FALSE(cursor.next(record));
}

TEST(LineStore, EmptyStoreHasNoRecord) {
  LineStore store;
  LineRecord record{};
  EXPECT_FALSE(store.cursor().next(record));
  EXPECT_EQ(store.size(), 0u);
}

}  // namespace
}  // namespace lintkeeper
