// Tests line_kind_from_name.
#include "findings/message_kind.h"

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

TEST(KindFromName, ExactNamesOnly) {
  EXPECT_EQ(line_kind_from_name("SHELL_VAR"), MessageKind::SHELL_VAR);
  EXPECT_EQ(line_kind_from_name("COMMENT"), MessageKind::COMMENT);
  EXPECT_EQ(line_kind_from_name("BARE_PERCENT"), MessageKind::BARE_PERCENT);
  EXPECT_EQ(line_kind_from_name("shell_var"), std::nullopt);
  EXPECT_EQ(line_kind_from_name("SHELL_VAR "), std::nullopt);
  EXPECT_EQ(line_kind_from_name("SHELL"), std::nullopt);
  EXPECT_EQ(line_kind_from_name(""), std::nullopt);
  EXPECT_EQ(line_kind_from_name("MISSING_NEWLINE"), std::nullopt);  // a kind about the file
}

}  // namespace
}  // namespace lintkeeper
