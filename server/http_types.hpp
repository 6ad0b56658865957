// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Requests and answers as plain values, and the table of routes that maps a
// method and a path to its handler. Nothing here knows the network library:
// the front (http_front.hpp) fills a Request and sends the Response back.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik::server {

struct Field {
  std::string name, value;
};

// ASCII case-insensitive equality, as header names compare.
bool SameName(std::string_view a, std::string_view b);

struct Request {
  std::string method;                 // as sent: "GET", "POST", ...
  std::string target;                 // as sent: the path and the query
  std::string path;                   // the target's path, percent-decoded
  std::vector<Field> query;           // the query's names and values, decoded, in order
  std::vector<Field> headers;         // in order, names as sent
  std::string body;                   // at most the route's limit
  std::string peer;                   // the address of the connection's other end
  std::string client;                 // who sent it: the peer, or the address a trusted proxy names
  std::vector<std::string> params;    // the path's {} segments, in order, decoded

  // The first header of that name (case-insensitive); null without one.
  const std::string* Header(std::string_view name) const;
  // The query's first value of that name; null without one.
  const std::string* Query(std::string_view name) const;
};

struct Response {
  int status = 200;
  std::string contentType;            // empty: none sent (as with no body)
  std::vector<Field> headers;         // besides Content-Type, Content-Length, Connection, Date
  std::string body;
  // A body kept by someone else (the board's, built once for many answers);
  // sent instead of `body` when set.
  std::shared_ptr<const std::string> shared;
  bool close = false;                 // close the connection after this answer
  bool mayWait = true;                // false for an inline handler's call (the network's thread)

  void Set(std::string name, std::string value);
  const std::string& Body() const { return shared ? *shared : body; }
  // From an inline handler: "this needs the database after all"; the front
  // calls the handler again on a thread that may wait.
  void Defer() { status = 0; }
  bool Deferred() const { return status == 0; }
};

using Handler = std::function<void(const Request&, Response&)>;

struct RouteOptions {
  // Inline handlers run on the network's own thread and must never wait
  // (answers from memory); the others run on the handlers' threads.
  bool inlineHandler = false;
  size_t maxBody = 0;                 // 0: the request takes no body
};

struct Route {
  std::string method;
  std::vector<std::string> pattern;   // its segments: "{}" takes one, "{*}" the rest
  Handler handler;
  RouteOptions options;
};

// Patterns are paths of segments, a segment "{}" matching any one segment
// and a last "{*}" any rest (one or more segments, or none): "/api/runs/{}",
// "/{*}". Routes are tried in the order added. HEAD is answered by the GET
// route (the front sends no body).
class Router {
 public:
  void Add(std::string method, const std::string& pattern, Handler handler, RouteOptions options = {});

  struct Match {
    const Route* route = nullptr;     // null: no route for this method
    std::vector<std::string> params;
    std::string allow;                // the methods the path takes, for a 405 ("" when none: 404)
  };
  Match Find(std::string_view method, const std::string& path) const;
  // The largest body any route takes.
  size_t MaxBody() const;

 private:
  std::vector<Route> routes_;
};

// Decodes %XX (and '+' as a space when `plus`); false when an escape is broken.
bool PercentDecode(std::string_view in, std::string& out, bool plus);
// Splits a target into its decoded path and query; false when it is no
// origin-form target ("/..." with good escapes and no NUL in the path).
bool SplitTarget(std::string_view target, std::string& path, std::vector<Field>& query);

}  // namespace morvik::server
