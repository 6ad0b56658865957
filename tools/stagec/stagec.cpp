// SPDX-License-Identifier: GPL-3.0-or-later
// Compiles a course segment from its text form into a segment file.
//   morvik_stagec SOURCE.txt OUTPUT.kvd
#include <cstdio>
#include <fstream>
#include <sstream>

#include "segment_text.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT.kvd\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  std::array<int16_t, morvik::segtext::kCells> cells{};
  std::string error;
  if (!morvik::segtext::Parse(ss.str(), cells, error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  const std::vector<unsigned char> data = morvik::segtext::Records(cells);
  // Written beside the target and renamed, so a failed build never leaves a torn file.
  const std::string tmp = std::string(argv[2]) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "%s: cannot write\n", tmp.c_str());
    return 1;
  }
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), argv[2]) != 0) {
    std::remove(tmp.c_str());
    std::fprintf(stderr, "%s: cannot write\n", argv[2]);
    return 1;
  }
  return 0;
}
