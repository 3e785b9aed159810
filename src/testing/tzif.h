// TZif files made in a test, byte by byte, as zic writes them (RFC 8536).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lintkeeper {

struct TzifType {
  int32_t offset = 0;
  uint8_t dst = 0;
  uint8_t designation = 0;
};

// A TZif file of one version (0 for version 1), written as zic writes one: for version 2 and
// later, a version-1 block of one empty type before the 64-bit data and the footer.
struct Tzif {
  char version = '2';
  std::vector<int64_t> times;
  std::vector<uint8_t> indices;
  std::vector<TzifType> types{{0, 0, 0}};
  std::string chars{"UTC\0", 4};
  uint32_t leaps = 0;
  uint32_t indicators = 0;  // of standard time and of UT, each
  std::string footer = "UTC0";
  // Of the version-1 block before the 64-bit data, which readers skip.
  uint32_t stub_types = 1;
  uint32_t stub_leaps = 0;

  std::string bytes() const {
    std::string out;
    if (version == 0) {
      block(out, 4);
      return out;
    }
    Tzif stub;
    stub.version = version;
    stub.types = std::vector<TzifType>(stub_types);
    stub.chars = std::string(stub_types, '\0');
    stub.leaps = stub_leaps;
    stub.block(out, 4);
    block(out, 8);
    return out + "\n" + footer + "\n";
  }

 private:
  static void put(std::string& out, uint64_t value, int size) {
    for (int i = size - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i) & 0xff);
  }
  void block(std::string& out, int time_size) const {
    out += "TZif";
    out += version;
    out += std::string(15, '\0');
    for (const std::size_t count : {std::size_t(indicators), std::size_t(indicators),
                                    std::size_t(leaps), times.size(), types.size(), chars.size()}) {
      put(out, count, 4);
    }
    for (const int64_t t : times) put(out, static_cast<uint64_t>(t), time_size);
    for (const uint8_t i : indices) out += static_cast<char>(i);
    for (const TzifType& t : types) {
      put(out, static_cast<uint32_t>(t.offset), 4);
      out += static_cast<char>(t.dst);
      out += static_cast<char>(t.designation);
    }
    out += chars;
    out += std::string(leaps * (time_size + 4) + 2 * indicators, '\0');
  }
};

// A file of no transition: the footer holds at every instant.
inline Tzif footer_only(std::string footer) {
  Tzif file;
  file.footer = std::move(footer);
  return file;
}

}  // namespace lintkeeper
