// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sheetgen {

namespace {
std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ArtError("cannot read " + path);
  std::vector<std::string> lines;
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// palette.txt: "<char> <RRGGBB> <name>" a line; '#' lines are comments.
Palette LoadPalette(const std::string& path) {
  Palette p;
  int n = 0;
  for (const std::string& raw : ReadLines(path)) {
    ++n;
    std::string l = Trim(raw);
    if (l.empty() || l[0] == '#') continue;
    std::istringstream is(l);
    std::string ch, hex, name;
    is >> ch >> hex >> name;
    if (ch.size() != 1 || hex.size() != 6 || name.empty())
      throw ArtError(path + ":" + std::to_string(n) + ": expected <char> <RRGGBB> <name>");
    uint32_t c = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    if (p.byChar.count(ch[0]) || p.byName.count(name))
      throw ArtError(path + ":" + std::to_string(n) + ": duplicate entry");
    p.byChar[ch[0]] = c;
    p.byName[name] = c;
  }
  return p;
}

// Blocks of "<keyword> <name>", rows, "end".
template <typename F>
void ReadBlocks(const std::string& path, const std::string& keyword, F onBlock) {
  std::vector<std::string> lines = ReadLines(path);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string l = Trim(lines[i]);
    if (l.empty() || l[0] == '#') continue;
    if (l.compare(0, keyword.size() + 1, keyword + " ") != 0)
      throw ArtError(path + ":" + std::to_string(i + 1) + ": expected '" + keyword + " NAME'");
    std::string name = Trim(l.substr(keyword.size() + 1));
    std::vector<std::string> rows;
    size_t start = i + 1;
    for (++i; i < lines.size() && Trim(lines[i]) != "end"; ++i) rows.push_back(Trim(lines[i]));
    if (i >= lines.size()) throw ArtError(path + ": '" + name + "' has no 'end'");
    onBlock(name, rows, path + ":" + std::to_string(start));
  }
}
}  // namespace

uint32_t Palette::operator()(const std::string& name) const {
  auto it = byName.find(name);
  if (it == byName.end()) throw ArtError("no palette entry named " + name);
  return it->second;
}

const Img& Sources::Sprite(const std::string& name) const {
  auto it = sprites.find(name);
  if (it == sprites.end()) throw ArtError("no sprite named " + name);
  return it->second;
}

const Glyph& Sources::Letter(char c) const {
  auto it = font.find(c);
  if (it == font.end()) throw ArtError(std::string("the font has no letter '") + c + "'");
  return it->second;
}

Sources LoadSources(const std::string& dir) {
  Sources s;
  s.pal = LoadPalette(dir + "/palette.txt");

  ReadBlocks(dir + "/font.txt", "glyph", [&](const std::string& name, const std::vector<std::string>& rows,
                                            const std::string& where) {
    char c = name == "space" ? ' ' : name.size() == 1 ? name[0] : 0;
    if (!c) throw ArtError(where + ": a glyph is named by one character or 'space'");
    Glyph g;
    g.h = static_cast<int>(rows.size());
    g.w = rows.empty() ? 0 : static_cast<int>(rows[0].size());
    if (g.h != 7) throw ArtError(where + ": glyph '" + name + "' must be 7 rows");
    for (const std::string& r : rows) {
      if (static_cast<int>(r.size()) != g.w) throw ArtError(where + ": ragged glyph '" + name + "'");
      for (char ch : r) g.ink.push_back(ch == '#');
    }
    s.font[c] = g;
  });

  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir + "/sprites"))
    if (e.path().extension() == ".txt") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    ReadBlocks(f.string(), "sprite", [&](const std::string& name, const std::vector<std::string>& rows,
                                         const std::string& where) {
      if (rows.empty()) throw ArtError(where + ": empty sprite " + name);
      int w = static_cast<int>(rows[0].size());
      Img img(w, static_cast<int>(rows.size()));
      for (size_t y = 0; y < rows.size(); ++y) {
        if (static_cast<int>(rows[y].size()) != w)
          throw ArtError(where + ": sprite " + name + " row " + std::to_string(y) + " is " +
                         std::to_string(rows[y].size()) + " wide, not " + std::to_string(w));
        for (int x = 0; x < w; ++x) {
          auto it = s.pal.byChar.find(rows[y][static_cast<size_t>(x)]);
          if (it == s.pal.byChar.end())
            throw ArtError(where + ": sprite " + name + " uses '" + rows[y][static_cast<size_t>(x)] +
                           "', which the palette lacks");
          img.Set(x, static_cast<int>(y), it->second);
        }
      }
      if (s.sprites.count(name)) throw ArtError(where + ": sprite " + name + " defined twice");
      s.sprites[name] = img;
    });
  }
  return s;
}

}  // namespace sheetgen
