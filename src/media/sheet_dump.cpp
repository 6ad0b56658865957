#include "media/sheet_dump.hpp"

#include <cstdio>
#include <filesystem>

#include "media/png.hpp"
#include "media/sheets.hpp"

namespace morvik {
int DumpSheets(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  Sheets s;
  for (const SheetInfo& i : SheetCatalogue()) {
    if (!i.art) continue;
    std::string path = dir + "/" + i.name + ".png";
    if (!WritePng(path, *FindSheet(s, i.name))) {
      std::fprintf(stderr, "morvik: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
}  // namespace morvik
