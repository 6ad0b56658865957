// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP front: one network thread that holds every connection (event
// driven, over Boost.Beast and Asio), with a deadline for each request's
// head and body, caps on header lines, bodies and connections, and strict
// framing; the handlers that may wait (the database) run on a few threads
// of their own. What a request is and what it gets back are the plain
// values of http_types.hpp.
#include <functional>
#include <memory>
#include <string>

#include "addresses.hpp"
#include "http_types.hpp"

namespace morvik::server {

struct FrontLimits {
  // A request's head must be whole within this time from when the server
  // starts waiting for it (the connection's start, or the answer before it
  // on a kept-alive connection); its body within bodySeconds of the head.
  int headSeconds = 10;
  int bodySeconds = 10;
  int writeSeconds = 30;          // an answer must be taken within this time
  size_t maxLine = 8192;          // the request line, and each header line
  size_t maxLines = 100;          // header lines
  size_t maxHead = 64 << 10;      // the whole head
  int maxConnections = 4096;      // open at once, in all
  int perAddress = 64;            // open at once from one address (an IPv6 /64); proxies are not held to it
  size_t bodiesInFlight = size_t{64} << 20;    // bytes of bodies being received at once, by their length
  size_t answersInFlight = size_t{128} << 20;  // bytes of answers being sent at once
  int handlerThreads = 8;         // handlers that may wait, run at once
  size_t maxQueued = 512;         // requests waiting for one of them; more are answered 503
};

// What the front needs from the API: the body of an error it answers
// itself, and the headers every answer carries.
struct FrontHooks {
  std::function<void(int status, const std::string& words, Response& res)> error;
  std::function<void(Response& res)> decorate;
};

class Front {
 public:
  Front(const Router& router, const FrontLimits& limits, const Proxies& proxies, FrontHooks hooks);
  ~Front();
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  // Binds and listens; false with the reason. Port 0 takes a free one.
  bool Listen(const std::string& host, int port, std::string& why);
  int Port() const;
  // Answers until Stop(); then finishes the answers under way (a few
  // seconds at most) and returns.
  void Run();
  // From any thread (a signal's).
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace morvik::server
