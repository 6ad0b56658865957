// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/flat_json.hpp"

#include <cstdint>

namespace morvik {

namespace {

class Reader {
 public:
  explicit Reader(const std::string& t) : t_(t) {}

  bool Object(std::map<std::string, std::string>& out, std::string& why) {
    Space();
    if (!Eat('{')) return Fail(why, "not a JSON object");
    Space();
    if (Eat('}')) return End(why);
    for (;;) {
      std::string key, value;
      Space();
      if (!String(key)) return Fail(why, "a name is not a JSON string");
      Space();
      if (!Eat(':')) return Fail(why, "a name has no ':' after it");
      Space();
      if (!Value(value)) return Fail(why, "the value of \"" + Safe(key) + "\" is not a plain JSON value");
      if (!out.emplace(key, value).second) return Fail(why, "\"" + Safe(key) + "\" is given twice");
      Space();
      if (Eat('}')) return End(why);
      if (!Eat(',')) return Fail(why, "values are not separated by ','");
    }
  }

 private:
  bool End(std::string& why) {
    Space();
    return p_ == t_.size() || Fail(why, "there is more after the object");
  }
  bool Fail(std::string& why, const std::string& words) {
    why = words + " (at byte " + std::to_string(p_ + 1) + ")";
    return false;
  }
  // A key as it may be shown in a message: its printable ASCII only.
  static std::string Safe(const std::string& s) {
    std::string o;
    for (char c : s.substr(0, 40)) o += (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') ? c : '?';
    return o;
  }
  void Space() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) ++p_;
  }
  bool Eat(char c) {
    if (p_ < t_.size() && t_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  bool Value(std::string& v) {
    if (p_ >= t_.size()) return false;
    if (t_[p_] == '"') return String(v);
    for (const char* word : {"true", "false", "null"}) {
      const std::string w = word;
      if (t_.compare(p_, w.size(), w) == 0) {
        p_ += w.size();
        v = w;
        return true;
      }
    }
    return Number(v);
  }
  bool Number(std::string& v) {
    const size_t start = p_;
    Eat('-');
    auto digits = [&] {
      const size_t d = p_;
      while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9') ++p_;
      return p_ > d;
    };
    if (p_ < t_.size() && t_[p_] == '0') ++p_;
    else if (!digits()) return false;
    if (Eat('.') && !digits()) return false;
    if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
      ++p_;
      if (!Eat('+')) Eat('-');
      if (!digits()) return false;
    }
    v = t_.substr(start, p_ - start);
    return v.size() <= 64;
  }
  bool Hex4(uint32_t& u) {
    if (t_.size() - p_ < 4) return false;
    u = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = t_[p_++];
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      u = u * 16 + static_cast<uint32_t>(d);
    }
    return true;
  }
  static void Utf8(uint32_t u, std::string& o) {
    if (u < 0x80) {
      o += static_cast<char>(u);
    } else if (u < 0x800) {
      o += static_cast<char>(0xC0 | (u >> 6));
      o += static_cast<char>(0x80 | (u & 63));
    } else if (u < 0x10000) {
      o += static_cast<char>(0xE0 | (u >> 12));
      o += static_cast<char>(0x80 | ((u >> 6) & 63));
      o += static_cast<char>(0x80 | (u & 63));
    } else {
      o += static_cast<char>(0xF0 | (u >> 18));
      o += static_cast<char>(0x80 | ((u >> 12) & 63));
      o += static_cast<char>(0x80 | ((u >> 6) & 63));
      o += static_cast<char>(0x80 | (u & 63));
    }
  }
  // A string: its escapes decoded; raw control bytes and bytes that are not
  // well-formed UTF-8 are refused.
  bool String(std::string& o) {
    if (!Eat('"')) return false;
    o.clear();
    while (p_ < t_.size()) {
      const unsigned char c = static_cast<unsigned char>(t_[p_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (p_ >= t_.size()) return false;
        const char e = t_[p_++];
        switch (e) {
          case '"': o += '"'; break;
          case '\\': o += '\\'; break;
          case '/': o += '/'; break;
          case 'b': o += '\b'; break;
          case 'f': o += '\f'; break;
          case 'n': o += '\n'; break;
          case 'r': o += '\r'; break;
          case 't': o += '\t'; break;
          case 'u': {
            uint32_t u = 0;
            if (!Hex4(u)) return false;
            if (u >= 0xDC00 && u <= 0xDFFF) return false;
            if (u >= 0xD800 && u <= 0xDBFF) {
              uint32_t lo = 0;
              if (!Eat('\\') || !Eat('u') || !Hex4(lo) || lo < 0xDC00 || lo > 0xDFFF) return false;
              u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            }
            Utf8(u, o);
            break;
          }
          default: return false;
        }
        continue;
      }
      if (c < 0x80) {
        o += static_cast<char>(c);
        continue;
      }
      // A well-formed UTF-8 sequence, copied as it is.
      const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
      if (n == 0 || t_.size() - (p_ - 1) < n) return false;
      for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(t_[p_ - 1 + k]) & 0xC0) != 0x80) return false;
      const unsigned char d = static_cast<unsigned char>(t_[p_]);
      if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))
        return false;
      o.append(t_, p_ - 1, n);
      p_ += n - 1;
    }
    return false;
  }

  const std::string& t_;
  size_t p_ = 0;
};

}  // namespace

bool ParseFlatJson(const std::string& text, std::map<std::string, std::string>& values, std::string& why) {
  values.clear();
  Reader r(text);
  if (r.Object(values, why)) return true;
  values.clear();
  return false;
}

}  // namespace morvik
