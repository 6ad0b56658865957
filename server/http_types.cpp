// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_types.hpp"

#include <algorithm>

namespace morvik::server {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const std::string* Request::Header(std::string_view name) const {
  for (const Field& f : headers)
    if (SameName(f.name, name)) return &f.value;
  return nullptr;
}

const std::string* Request::Query(std::string_view name) const {
  for (const Field& f : query)
    if (f.name == name) return &f.value;
  return nullptr;
}

void Response::Set(std::string name, std::string value) {
  for (Field& f : headers)
    if (SameName(f.name, name)) {
      f.value = std::move(value);
      return;
    }
  headers.push_back({std::move(name), std::move(value)});
}

namespace {
std::vector<std::string> Segments(std::string_view path) {
  std::vector<std::string> out;
  size_t at = 1;  // after the leading '/'
  while (at <= path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string_view::npos) end = path.size();
    out.emplace_back(path.substr(at, end - at));
    at = end + 1;
  }
  return out;
}
}  // namespace

void Router::Add(std::string method, const std::string& pattern, Handler handler, RouteOptions options) {
  routes_.push_back({std::move(method), Segments(pattern), std::move(handler), options});
}

Router::Match Router::Find(std::string_view method, const std::string& path) const {
  Match m;
  const std::vector<std::string> segs = Segments(path);
  const std::string_view asked = method == "HEAD" ? std::string_view("GET") : method;
  for (const Route& r : routes_) {
    std::vector<std::string> params;
    bool fits = true;
    size_t i = 0;
    for (; i < r.pattern.size() && fits; ++i) {
      if (r.pattern[i] == "{*}") {
        std::string rest;
        for (size_t k = i; k < segs.size(); ++k) rest += (k > i ? "/" : "") + segs[k];
        params.push_back(rest);
        i = segs.size();
        break;
      }
      if (i >= segs.size()) fits = false;
      else if (r.pattern[i] == "{}") params.push_back(segs[i]);
      else fits = r.pattern[i] == segs[i];
    }
    if (!fits || i != segs.size()) continue;
    if (r.method == asked) {
      if (!m.route) {
        m.route = &r;
        m.params = std::move(params);
      }
    }
    // Every method the path takes, once each.
    const std::string name = r.method == "GET" ? "GET, HEAD" : r.method;
    if (m.allow.find(r.method) == std::string::npos) m.allow += (m.allow.empty() ? "" : ", ") + name;
  }
  return m;
}

size_t Router::MaxBody() const {
  size_t n = 0;
  for (const Route& r : routes_) n = std::max(n, r.options.maxBody);
  return n;
}

bool PercentDecode(std::string_view in, std::string& out, bool plus) {
  out.clear();
  out.reserve(in.size());
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '%') {
      if (i + 2 >= in.size()) return false;
      const int a = hex(in[i + 1]), b = hex(in[i + 2]);
      if (a < 0 || b < 0) return false;
      out += static_cast<char>(a * 16 + b);
      i += 2;
    } else if (c == '+' && plus) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return true;
}

bool SplitTarget(std::string_view target, std::string& path, std::vector<Field>& query) {
  query.clear();
  if (target.empty() || target[0] != '/') return false;
  const size_t q = target.find('?');
  if (!PercentDecode(target.substr(0, q), path, false) || path.find('\0') != std::string::npos) return false;
  if (q == std::string_view::npos) return true;
  std::string_view rest = target.substr(q + 1);
  const size_t hash = rest.find('#');
  if (hash != std::string_view::npos) rest = rest.substr(0, hash);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    Field f;
    if (!PercentDecode(pair.substr(0, eq), f.name, true)) return false;
    if (eq != std::string_view::npos && !PercentDecode(pair.substr(eq + 1), f.value, true)) return false;
    query.push_back(std::move(f));
  }
  return true;
}

}  // namespace morvik::server
