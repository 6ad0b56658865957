// SPDX-License-Identifier: GPL-3.0-or-later
#include "addresses.hpp"

#include <arpa/inet.h>

#include <cstring>

#include "core/numeric.hpp"

namespace morvik::server {

std::optional<Address> Address::Parse(std::string_view text) {
  if (text.empty() || text.size() > 45) return std::nullopt;
  const std::string s(text);
  Address a;
  in_addr v4{};
  if (::inet_pton(AF_INET, s.c_str(), &v4) == 1) {
    std::memcpy(a.bytes.data(), &v4, 4);
    return a;
  }
  in6_addr v6{};
  if (::inet_pton(AF_INET6, s.c_str(), &v6) != 1) return std::nullopt;
  static const uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (std::memcmp(v6.s6_addr, kMapped, 12) == 0) {
    std::memcpy(a.bytes.data(), v6.s6_addr + 12, 4);
    return a;
  }
  a.v6 = true;
  std::memcpy(a.bytes.data(), v6.s6_addr, 16);
  return a;
}

std::string Address::Text() const {
  char buf[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), buf, sizeof buf);
  return buf;
}

std::string Address::ConnectionKey() const {
  if (!v6) return Text();
  Address net = *this;
  std::memset(net.bytes.data() + 8, 0, 8);
  return net.Text() + "/64";
}

bool Proxies::Parse(std::string_view list, std::string& why) {
  nets_.clear();
  while (!list.empty()) {
    const size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item.empty()) continue;
    const size_t slash = item.find('/');
    const std::optional<Address> a = Address::Parse(item.substr(0, slash));
    // (Built by appends: GCC 12 warns falsely of "'" + string.)
    std::string quoted(1, '\'');
    quoted.append(item);
    quoted += '\'';
    if (!a) {
      why = quoted + " is not an address (ADDRESS[/BITS])";
      return false;
    }
    Net n{*a, a->v6 ? 128 : 32};
    if (slash != std::string_view::npos && !ParseWholeIn(std::string(item.substr(slash + 1)), 0, n.bits, n.bits)) {
      why = quoted + " has a prefix length that is not a number from 0 to " +
            std::to_string(a->v6 ? 128 : 32);
      return false;
    }
    nets_.push_back(n);
  }
  if (nets_.empty()) {
    why = "no proxy named";
    return false;
  }
  return true;
}

bool Proxies::Contains(const Address& a) const {
  for (const Net& n : nets_) {
    if (n.base.v6 != a.v6) continue;
    int bits = n.bits;
    bool same = true;
    for (size_t i = 0; bits > 0 && same; ++i, bits -= 8) {
      const uint8_t mask = bits >= 8 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - bits));
      same = (n.base.bytes[i] & mask) == (a.bytes[i] & mask);
    }
    if (same) return true;
  }
  return false;
}

std::string Proxies::Client(const Address& peer, const std::vector<const std::string*>& forwarded) const {
  if (!Contains(peer)) return peer.Text();
  Address client = peer;
  // Right to left over every header's items, as if they were one list.
  for (size_t h = forwarded.size(); h-- > 0;) {
    std::string_view v = *forwarded[h];
    while (!v.empty()) {
      const size_t comma = v.rfind(',');
      std::string_view item = comma == std::string_view::npos ? v : v.substr(comma + 1);
      v = comma == std::string_view::npos ? std::string_view() : v.substr(0, comma);
      while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
      while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
      const std::optional<Address> a = Address::Parse(item);
      if (!a) return client.Text();
      client = *a;
      if (!Contains(client)) return client.Text();
    }
  }
  return client.Text();
}

}  // namespace morvik::server
