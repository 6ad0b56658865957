// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The board's API under /api/ and the site's files, as routes of the front:
// each handler takes a plain Request and fills a plain Response.
#include <string>

#include "board.hpp"
#include "http_front.hpp"
#include "store.hpp"

namespace morvik::server {

struct ApiConfig {
  std::string site;                        // the folder served at /; empty: no site
  int perMinute = 10;                      // submissions an address may make a minute; 0: no limit
  size_t maxBody = size_t{1} << 20;        // a demo
  size_t maxWaiting = size_t{4} << 20;     // bytes of one sender's runs waiting for their replay
};

// Adds every route. The store, the board cache and the pool outlive the router.
void AddApiRoutes(Router& router, const ApiConfig& config, Store& store, BoardCache& boards, ConnectionPool& pool);
// Errors as {"error": words}; the headers every answer carries.
FrontHooks ApiHooks();
// An error answer, as every handler gives one.
void SendError(Response& res, int status, const std::string& words);

}  // namespace morvik::server
