// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP side: the API under /api/ and the site's files, with the limits
// that keep a careless or hostile client from doing harm.
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace morvik::server {

class Store;

struct HttpConfig {
  std::string site;               // the folder served at /; empty: no site
  int threads = 16;               // requests answered at once
  int perMinute = 10;             // submissions an address may make a minute; 0: no limit
  bool trustForwarded = false;    // take the address from X-Forwarded-For (behind a proxy)
  size_t maxBody = size_t{1} << 20;
  int bodySeconds = 10;           // a body must arrive within this time
};

// Builds the server with every route. The site's folder must exist.
std::unique_ptr<httplib::Server> MakeHttpServer(const HttpConfig& config, Store& store);

}  // namespace morvik::server
