// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scratch directory for a fuzz target's files, made once under $TMPDIR
// (fuzz/run.sh points that at a directory of its own, removed after the run
// however libFuzzer ends). One per fuzz program; the name lives for the
// whole run.
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace morvik::fuzz {

inline const std::string& ScratchDir(const char* target) {
  static const std::string* dir = [target] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/morvik-fuzz-" + target + "-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    return new std::string(tmpl);
  }();
  return *dir;
}

}  // namespace morvik::fuzz
