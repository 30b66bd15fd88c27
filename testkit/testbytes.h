// Small helpers the reader and archive tests share: byte lists, comparisons
// of raw record bytes, and the real files of the shared corpus.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "jww/archive.h"
#include "jww/jwwtype.h"
#include "testkit/jwbuilder.h"

namespace testkit {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}

inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The default fixed bytes the builder gives an entity of kind k after its
// attribute record: 0x10 * k + i.
inline void ExpectPattern(const uint8_t* p, size_t n, jwb::Kind k, const char* what) {
  for (size_t i = 0; i < n; ++i) {
    ASSERT_EQ(p[i], static_cast<uint8_t>(0x10 * static_cast<int>(k) + i)) << what << " byte " << i;
  }
}

inline void ExpectZero(const void* p, size_t n, const char* what) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) ASSERT_EQ(b[i], 0) << what << " byte " << i;
}

inline bool SameAttr(const EntityAttributes& a, const EntityAttributes& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::vector<TEntJwwOrder> Order(std::initializer_list<std::pair<int32_t, int32_t>> pairs) {
  std::vector<TEntJwwOrder> out;
  for (auto [k, i] : pairs) out.push_back({k, i});
  return out;
}

// The folder of real drawing files (it may be absent: tests then skip).
inline std::string CorpusDir() {
#ifdef QUILLON_CORPUS_DIR
  return QUILLON_CORPUS_DIR;
#else
  return "../shared/corpus";
#endif
}

// The rows of a tab-separated file after its header line; empty lines skipped.
inline std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (header) {
      header = false;
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace testkit
