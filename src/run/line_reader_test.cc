// Tests the line reader: lines split at buffer edges, the last line without a line feed,
// and what it knows of a line being plain ASCII.
#include "run/line_reader.h"

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/memory_file_system.h"

namespace lintkeeper {
namespace {

struct Read {
  std::vector<std::string> lines;
  std::vector<bool> ascii;
};

// Reads text back line by line from a file.
Read read_all(const std::string& text) {
  Read read;
  MemoryFileSystem fs;
  fs.add_file("crontab", text);
  std::unique_ptr<ReadableFile> file;
  EXPECT_EQ(fs.open("crontab", file), 0);
  LineReader reader(*file);
  std::string_view line;
  LineReader::Status status;
  while ((status = reader.next(line)) == LineReader::Status::Line) {
    read.lines.emplace_back(line);
    read.ascii.push_back(reader.line_is_ascii());
  }
  EXPECT_EQ(status, LineReader::Status::End);
  return read;
}

std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line;
  return out;
}

TEST(LineReader, LinesOfEveryLengthAroundTheBufferEdge) {
  // Lines whose line feeds fall on every offset around the 8192-byte buffer edge and the
  // 64-byte words of the line-feed index.
  for (std::size_t length : {1, 63, 64, 65, 127, 128, 4095, 8191, 8192, 8193, 20000}) {
    std::vector<std::string> lines;
    for (int i = 0; i < 5; ++i) lines.push_back(std::string(length - 1 + i % 2, 'a') + "\n");
    lines.push_back("last without line feed");
    SCOPED_TRACE(length);
    const Read read = read_all(join(lines));
    EXPECT_EQ(read.lines, lines);
  }
}

TEST(LineReader, EmptyLinesAndEmptyFile) {
  EXPECT_EQ(read_all("").lines, std::vector<std::string>{});
  EXPECT_EQ(read_all("\n\n\n").lines, (std::vector<std::string>{"\n", "\n", "\n"}));
  EXPECT_EQ(read_all("x").lines, std::vector<std::string>{"x"});
}

TEST(LineReader, KnowsAsciiLinesOnlyWhenTheirBufferIsAscii) {
  // A non-ASCII byte in the second buffer: lines of the first buffer are known ASCII, those
  // of the second are not known, and a line gathered across both is not either.
  std::string text;
  while (text.size() < 8000) text += "0 * * * * root run\n";
  text += std::string(8192 - text.size() - 10, 'y') + "\n";  // ends 9 bytes before the edge
  text += "crosses the edge\n";
  text += "caf\u00e9\n";
  text += "plain\n";
  const Read read = read_all(text);
  ASSERT_GE(read.lines.size(), 4u);
  EXPECT_EQ(join(read.lines), text);
  EXPECT_TRUE(read.ascii.front());
  const std::size_t n = read.lines.size();
  EXPECT_EQ(read.lines[n - 3], "crosses the edge\n");
  EXPECT_FALSE(read.ascii[n - 3]);
  EXPECT_FALSE(read.ascii[n - 2]);
  EXPECT_FALSE(read.ascii[n - 1]);
  // All ASCII: every line is known to be.
  const Read plain = read_all(std::string(20000, 'a') + "\nb\n");
  EXPECT_EQ(plain.ascii, (std::vector<bool>{true, true}));
}

// A read that fails ends the lines with Error and its errno; nothing is handed out.
TEST(LineReader, ReadErrorEndsTheLines) {
  std::unique_ptr<ReadableFile> dir;
  ASSERT_EQ(disk().open("/", dir), 0);
  LineReader reader(*dir);
  std::string_view line;
  EXPECT_EQ(reader.next(line), LineReader::Status::Error);
  EXPECT_EQ(reader.error(), EISDIR);
  EXPECT_EQ(reader.next(line), LineReader::Status::Error);
}

}  // namespace
}  // namespace lintkeeper
