// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Network addresses as the board counts them: written one way only (an
// IPv4 address mapped into IPv6 is the IPv4 address), and the proxies whose
// X-Forwarded-For is believed.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::server {

struct Address {
  bool v6 = false;
  std::array<uint8_t, 16> bytes{};  // IPv4 in the first four

  // "192.0.2.1", "2001:db8::1"; an IPv4-mapped IPv6 address reads as IPv4.
  static std::optional<Address> Parse(std::string_view text);
  std::string Text() const;
  // The key connections are counted by: the address, for IPv6 its /64
  // (one machine is given a /64 of its own).
  std::string ConnectionKey() const;
};

// ADDRESS[/BITS],... : the proxies in front of the server.
class Proxies {
 public:
  // False with the reason when some item is not an address or a prefix.
  bool Parse(std::string_view list, std::string& why);
  bool Empty() const { return nets_.empty(); }
  bool Contains(const Address& a) const;
  // The client a request comes from: the peer, unless the peer is one of
  // the proxies; then the right-most address in X-Forwarded-For that is no
  // proxy (each proxy appends the one it saw). A value that is no address
  // ends the walk there: what lies left of it cannot be trusted either, so
  // the last proxy's peer counts.
  std::string Client(const Address& peer, const std::vector<const std::string*>& forwarded) const;

 private:
  struct Net {
    Address base;
    int bits = 0;
  };
  std::vector<Net> nets_;
};

}  // namespace morvik::server
