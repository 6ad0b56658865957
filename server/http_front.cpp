// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_front.hpp"

#include <sys/socket.h>

#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <limits>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "core/printable.hpp"

namespace morvik::server {

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;
using boost::system::error_code;

const char* Reason(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 422: return "Unprocessable Content";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Status";
  }
}

std::string HttpDate() {
  char buf[64];
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

std::string Trimmed(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return std::string(v);
}

// The methods HTTP knows; any other is answered 501, these 405 where a path
// does not take them.
bool KnownMethod(std::string_view m) {
  for (const char* k : {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH", "TRACE", "CONNECT"})
    if (m == k) return true;
  return false;
}

// A request's head and body, read into a plain Request, with the caps on
// lines and the body kept as it comes.
class Parser : public http::basic_parser<true> {
 public:
  enum class Over { kNone, kTarget, kLine, kLines, kBody };
  Parser(const FrontLimits& l, Request& req) : limits_(l), req_(req) {
    header_limit(static_cast<std::uint32_t>(l.maxHead));
    // The route's limit is applied below, once the route is known. (Not
    // boost::none: this version of Beast then refuses every length.)
    body_limit(std::numeric_limits<std::uint64_t>::max());
  }
  Over over = Over::kNone;
  int version = 11;
  size_t maxBody = 0;
  bool sawLength = false, sawTransfer = false;

 private:
  void on_request_impl(http::verb, beast::string_view method, beast::string_view target, int v,
                       error_code& ec) override {
    if (target.size() > limits_.maxLine) {
      over = Over::kTarget;
      ec = http::error::header_limit;
      return;
    }
    req_.method.assign(method.data(), method.size());
    req_.target.assign(target.data(), target.size());
    version = v;
  }
  void on_response_impl(int, beast::string_view, int, error_code& ec) override { ec = http::error::bad_version; }
  void on_field_impl(http::field f, beast::string_view name, beast::string_view value, error_code& ec) override {
    if (req_.headers.size() >= limits_.maxLines) {
      over = Over::kLines;
      ec = http::error::header_limit;
      return;
    }
    if (name.size() + value.size() + 4 > limits_.maxLine) {
      over = Over::kLine;
      ec = http::error::header_limit;
      return;
    }
    if (f == http::field::content_length) sawLength = true;
    if (f == http::field::transfer_encoding) sawTransfer = true;
    req_.headers.push_back({std::string(name.data(), name.size()), std::string(value.data(), value.size())});
  }
  void on_header_impl(error_code& ec) override { ec = {}; }
  void on_body_init_impl(boost::optional<std::uint64_t> const&, error_code& ec) override { ec = {}; }
  size_t Take(beast::string_view body, error_code& ec) {
    if (body.size() > maxBody - req_.body.size()) {
      over = Over::kBody;
      ec = http::error::body_limit;
      return 0;
    }
    req_.body.append(body.data(), body.size());
    return body.size();
  }
  size_t on_body_impl(beast::string_view body, error_code& ec) override { return Take(body, ec); }
  void on_chunk_header_impl(std::uint64_t size, beast::string_view, error_code& ec) override {
    if (size > maxBody - req_.body.size()) {
      over = Over::kBody;
      ec = http::error::body_limit;
    }
  }
  size_t on_chunk_body_impl(std::uint64_t, beast::string_view body, error_code& ec) override { return Take(body, ec); }
  void on_finish_impl(error_code& ec) override { ec = {}; }

  const FrontLimits& limits_;
  Request& req_;
};

// The threads that run handlers that may wait.
class Pool {
 public:
  Pool(int threads, size_t maxQueued) : maxQueued_(maxQueued) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Loop(); });
  }
  ~Pool() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  bool Post(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (stopping_ || jobs_.size() >= maxQueued_) return false;
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
  }

 private:
  void Loop() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
  }
  size_t maxQueued_;
  std::vector<std::thread> threads_;
  std::deque<std::function<void()>> jobs_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
};

}  // namespace

struct Front::Impl {
  Impl(const Router& r, const FrontLimits& l, const Proxies& p, FrontHooks h)
      : router(r), limits(l), proxies(p), hooks(std::move(h)), acceptor(ioc), pause(ioc), last(ioc),
        pool(l.handlerThreads, l.maxQueued) {}

  class Conn;
  void Accept();
  void Closed(Conn* c);

  const Router& router;
  const FrontLimits limits;
  const Proxies& proxies;
  const FrontHooks hooks;
  // Touched on the network thread only; declared before the io_context,
  // whose end destroys the connections still held by its handlers.
  std::unordered_set<Conn*> conns;
  std::unordered_map<std::string, int> perKey;
  size_t bodies = 0, answers = 0;
  bool stopping = false;
  net::io_context ioc{1};
  tcp::acceptor acceptor;
  net::steady_timer pause;  // after an accept that failed for want of descriptors
  net::steady_timer last;   // the stop's: once every connection has gone, or a few seconds on
  int ticksLeft = 0;
  void WaitForLast();
  Pool pool;
};

class Front::Impl::Conn : public std::enable_shared_from_this<Conn> {
 public:
  Conn(Impl& f, tcp::socket s, Address peer, std::string key)
      : f_(f), sock_(std::move(s)), timer_(f.ioc), peer_(peer), key_(std::move(key)),
        buf_(f.limits.maxHead + 16384) {
    f_.conns.insert(this);
    if (!key_.empty()) ++f_.perKey[key_];
  }
  ~Conn() {
    Release();
    f_.conns.erase(this);
    if (!key_.empty() && --f_.perKey[key_] <= 0) f_.perKey.erase(key_);
  }

  void Start() { ReadHead(); }
  // The server stops: a connection waiting for a request goes now, the others after their answer.
  void Stop() {
    if (waitingHead_ && !(parser_ && parser_->got_some()) && buf_.size() == 0) Close();
  }

 private:
  // The deadline of what the connection does now; a stale expiry (one
  // already under way when the deadline moved) changes nothing.
  void Arm(int seconds) {
    timedOut_ = false;
    const uint64_t gen = ++gen_;
    timer_.expires_after(std::chrono::seconds(seconds));
    timer_.async_wait([self = shared_from_this(), gen](const error_code& ec) {
      if (ec || gen != self->gen_) return;
      self->timedOut_ = true;
      error_code ignored;
      self->sock_.cancel(ignored);
    });
  }
  void Disarm() {
    ++gen_;
    timer_.cancel();
  }

  void Close() {
    Disarm();
    error_code ignored;
    sock_.shutdown(tcp::socket::shutdown_both, ignored);
    sock_.close(ignored);
  }

  void Release() {
    f_.bodies -= reservedBody_;
    reservedBody_ = 0;
    f_.answers -= reservedAnswer_;
    reservedAnswer_ = 0;
  }

  void ReadHead() {
    if (f_.stopping) return Close();
    req_ = Request{};
    res_ = Response{};
    parser_.emplace(f_.limits, req_);
    waitingHead_ = true;
    Arm(f_.limits.headSeconds);
    http::async_read_header(sock_, buf_, *parser_, [self = shared_from_this()](error_code ec, size_t) {
      self->OnHead(ec);
    });
  }

  // An answer made by the front itself; the connection closes after it.
  void Refuse(int status, const std::string& words, std::optional<Field> extra = std::nullopt) {
    res_ = Response{};
    res_.status = status;
    if (f_.hooks.error) f_.hooks.error(status, words, res_);
    if (extra) res_.Set(extra->name, extra->value);
    res_.close = true;
    Send();
  }

  void OnHead(error_code ec) {
    waitingHead_ = false;
    const bool some = parser_->got_some() || buf_.size() > 0;
    if (timedOut_) {
      if (!some) return Close();  // nothing came: nothing to answer
      return Refuse(408, "the request's head did not arrive within " + std::to_string(f_.limits.headSeconds) + " s");
    }
    if (ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::connection_reset ||
        ec == net::error::operation_aborted || ec == http::error::partial_message)
      return Close();
    if (ec) {
      switch (parser_->over) {
        case Parser::Over::kTarget: return Refuse(414, "the address is longer than " + std::to_string(f_.limits.maxLine) + " bytes");
        case Parser::Over::kLine:
          return Refuse(431, "a header line is longer than " + std::to_string(f_.limits.maxLine) + " bytes");
        case Parser::Over::kLines:
          return Refuse(431, "the request has more than " + std::to_string(f_.limits.maxLines) + " header lines");
        default: break;
      }
      if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
        return Refuse(431, "the request's head is larger than " + std::to_string(f_.limits.maxHead >> 10) + " KB");
      if (ec == http::error::bad_content_length)
        return Refuse(400, "the request's length is given twice, or with its transfer coding, or badly");
      if (ec == http::error::bad_transfer_encoding)
        return Refuse(400, "the request's transfer coding is given twice, or with a length");
      return Refuse(400, "the request is not HTTP/1.1 this server understands");
    }
    if (parser_->version != 10 && parser_->version != 11) return Refuse(505, "only HTTP/1.0 and HTTP/1.1 are spoken here");
    if (!SplitTarget(req_.target, req_.path, req_.query)) return Refuse(400, "the request's address is not a path");
    size_t hosts = 0;
    for (const Field& h : req_.headers) hosts += SameName(h.name, "Host") ? 1 : 0;
    if (hosts > 1 || (hosts == 0 && parser_->version == 11)) return Refuse(400, "an HTTP/1.1 request names its host once");
    req_.peer = peer_.Text();
    std::vector<const std::string*> forwarded;
    for (const Field& h : req_.headers)
      if (SameName(h.name, "X-Forwarded-For")) forwarded.push_back(&h.value);
    req_.client = f_.proxies.Client(peer_, forwarded);

    // How the body is framed: a length, or chunks, and nothing else.
    const bool chunked = parser_->chunked();
    if (parser_->sawTransfer) {
      const std::string* te = req_.Header("Transfer-Encoding");
      if (!chunked || !te || !SameName(Trimmed(*te), "chunked"))
        return Refuse(501, "the only transfer coding taken is chunked");
    }
    const std::uint64_t length = parser_->content_length().value_or(0);
    const bool hasBody = chunked || length > 0;
    if (const std::string* ce = req_.Header("Content-Encoding"); ce && hasBody && !SameName(Trimmed(*ce), "identity"))
      return Refuse(415, "bodies are taken as they are: no content coding");

    if (!KnownMethod(req_.method)) return Refuse(501, "the method is not one this server knows");
    Router::Match m = f_.router.Find(req_.method, req_.path);
    if (!m.route) {
      if (m.allow.empty()) {
        res_ = Response{};
        res_.status = 404;
        if (f_.hooks.error) f_.hooks.error(404, "no such thing here", res_);
        res_.close = hasBody;  // its body is not read
        return Send();
      }
      return Refuse(405, "the method is not allowed here; the path takes " + m.allow, Field{"Allow", m.allow});
    }
    route_ = m.route;
    req_.params = std::move(m.params);
    const size_t max = route_->options.maxBody;
    if (max == 0) {
      if (hasBody) return Refuse(400, "this request takes no body");
      return Dispatch();
    }
    if (!chunked && !parser_->content_length()) return Refuse(411, "a body needs its length (Content-Length)");
    if (length > max)
      return Refuse(413, "the body is larger than " + std::to_string(max >> 20) + " MiB");
    if (parser_->is_done()) return Dispatch();
    // Room for it among the bodies under way.
    const size_t reserve = chunked ? max : static_cast<size_t>(length);
    if (f_.bodies + reserve > f_.limits.bodiesInFlight)
      return Refuse(503, "the server is receiving too much at once; try again in a few seconds", Field{"Retry-After", "5"});
    f_.bodies += reserve;
    reservedBody_ = reserve;
    parser_->maxBody = max;
    if (const std::string* expect = req_.Header("Expect")) {
      if (!SameName(Trimmed(*expect), "100-continue")) return Refuse(417, "the only expectation met is 100-continue");
      if (parser_->version == 11) {
        static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        Arm(f_.limits.writeSeconds);
        net::async_write(sock_, net::buffer(kContinue), [self = shared_from_this()](error_code e, size_t) {
          if (e || self->timedOut_) return self->Close();
          self->ReadBody();
        });
        return;
      }
    }
    ReadBody();
  }

  void ReadBody() {
    Arm(f_.limits.bodySeconds);
    http::async_read(sock_, buf_, *parser_, [self = shared_from_this()](error_code ec, size_t) { self->OnBody(ec); });
  }

  void OnBody(error_code ec) {
    f_.bodies -= reservedBody_;
    reservedBody_ = 0;
    if (timedOut_) return Refuse(408, "the body did not arrive within " + std::to_string(f_.limits.bodySeconds) + " s");
    if (ec && parser_->over == Parser::Over::kBody)
      return Refuse(413, "the body is larger than " + std::to_string(route_->options.maxBody >> 20) + " MiB");
    if (ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::connection_reset ||
        ec == http::error::partial_message || ec == net::error::operation_aborted)
      return Close();
    if (ec) return Refuse(400, "the body could not be read");
    Dispatch();
  }

  void Dispatch() {
    Disarm();
    keepAlive_ = parser_->keep_alive();
    if (route_->options.inlineHandler) {
      res_.mayWait = false;
      Call();
      if (!res_.Deferred()) return Send();
      res_ = Response{};
    }
    auto self = shared_from_this();
    if (!f_.pool.Post([self] {
          self->Call();
          if (self->res_.Deferred()) {
            self->res_ = Response{};
            self->res_.status = 500;
            if (self->f_.hooks.error) self->f_.hooks.error(500, "the request could not be answered", self->res_);
          }
          net::post(self->f_.ioc, [self] { self->Send(); });
        }))
      Refuse(503, "the server is busy; try again in a few seconds", Field{"Retry-After", "5"});
  }

  // The handler, any failure of it answered 500.
  void Call() {
    try {
      route_->handler(req_, res_);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "morvik-server: %s %s failed: %s\n", Printable(req_.method).c_str(),
                   Printable(req_.path).c_str(), Printable(e.what()).c_str());
      res_ = Response{};
      res_.status = 500;
      if (f_.hooks.error) f_.hooks.error(500, "the request failed", res_);
    }
  }

  void Send() {
    if (f_.hooks.decorate) f_.hooks.decorate(res_);
    const bool head = req_.method == "HEAD";
    const std::string& body = res_.Body();
    if (!head && body.size() > (64u << 10)) {
      if (f_.answers + body.size() > f_.limits.answersInFlight) {
        const bool close = res_.close;
        res_ = Response{};
        res_.status = 503;
        if (f_.hooks.error) f_.hooks.error(503, "the server is sending too much at once; try again in a few seconds", res_);
        res_.Set("Retry-After", "5");
        res_.close = close;
        if (f_.hooks.decorate) f_.hooks.decorate(res_);
      } else {
        reservedAnswer_ = body.size();
        f_.answers += reservedAnswer_;
      }
    }
    const bool close = res_.close || !keepAlive_ || f_.stopping;
    head_.clear();
    head_ += "HTTP/1.1 " + std::to_string(res_.status) + " " + Reason(res_.status) + "\r\n";
    head_ += "Date: " + HttpDate() + "\r\n";
    for (const Field& h : res_.headers) head_ += h.name + ": " + h.value + "\r\n";
    const std::string& sent = res_.Body();
    if (!res_.contentType.empty()) head_ += "Content-Type: " + res_.contentType + "\r\n";
    if (res_.status != 304 && res_.status != 204 && res_.status >= 200) head_ += "Content-Length: " + std::to_string(sent.size()) + "\r\n";
    if (close) head_ += "Connection: close\r\n";
    head_ += "\r\n";
    std::vector<net::const_buffer> out{net::buffer(head_)};
    if (!head && res_.status != 304 && !sent.empty()) out.push_back(net::buffer(sent));
    Arm(f_.limits.writeSeconds);
    net::async_write(sock_, out, [self = shared_from_this(), close](error_code ec, size_t) {
      self->f_.answers -= self->reservedAnswer_;
      self->reservedAnswer_ = 0;
      if (ec || self->timedOut_) return self->Close();
      if (close) return self->Linger();
      self->ReadHead();
    });
  }

  // After the last answer: no more is sent, and what the client still
  // sends (a body not read) is taken and dropped for a moment, so that the
  // answer is not lost to a reset.
  void Linger() {
    Disarm();
    error_code ignored;
    sock_.shutdown(tcp::socket::shutdown_send, ignored);
    Arm(2);
    Drain();
  }
  void Drain() {
    sock_.async_read_some(net::buffer(scratch_), [self = shared_from_this()](error_code ec, size_t n) {
      self->drained_ += n;
      if (ec || self->timedOut_ || self->drained_ > (size_t{1} << 20)) return self->Close();
      self->Drain();
    });
  }

  Impl& f_;
  tcp::socket sock_;
  net::steady_timer timer_;
  Address peer_;
  std::string key_;
  beast::flat_buffer buf_;
  Request req_;
  Response res_;
  std::optional<Parser> parser_;
  const Route* route_ = nullptr;
  std::string head_;
  char scratch_[4096];
  size_t drained_ = 0, reservedBody_ = 0, reservedAnswer_ = 0;
  uint64_t gen_ = 0;
  bool timedOut_ = false, waitingHead_ = false, keepAlive_ = true;
};

void Front::Impl::Accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket s) {
    if (stopping) return;
    if (ec) {
      if (ec == net::error::operation_aborted) return;
      // Out of descriptors, or the like: wait a moment rather than spin.
      pause.expires_after(std::chrono::milliseconds(100));
      pause.async_wait([this](const error_code&) { Accept(); });
      return;
    }
    error_code e;
    const tcp::endpoint ep = s.remote_endpoint(e);
    const std::optional<Address> peer = e ? std::nullopt : Address::Parse(ep.address().to_string());
    if (!peer) {
      s.close(e);
      return Accept();
    }
    const std::string key = proxies.Contains(*peer) ? "" : peer->ConnectionKey();
    const auto it = key.empty() ? perKey.end() : perKey.find(key);
    const bool full = static_cast<int>(conns.size()) >= limits.maxConnections ||
                      (it != perKey.end() && it->second >= limits.perAddress);
    if (full) {
      // Said in one write that cannot wait, then closed.
      static const std::string kBusy = [] {
        const std::string body = "{\"error\": \"too many connections; try again in a while\"}";
        return "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 5\r\nContent-Type: application/json\r\n"
               "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      }();
      ::send(s.native_handle(), kBusy.data(), kBusy.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      s.close(e);
      return Accept();
    }
    s.set_option(tcp::no_delay(true), e);
    std::make_shared<Conn>(*this, std::move(s), *peer, key)->Start();
    Accept();
  });
}

Front::Front(const Router& router, const FrontLimits& limits, const Proxies& proxies, FrontHooks hooks)
    : impl_(std::make_unique<Impl>(router, limits, proxies, std::move(hooks))) {}

Front::~Front() = default;

bool Front::Listen(const std::string& host, int port, std::string& why) {
  error_code ec;
  const net::ip::address a = net::ip::make_address(host, ec);
  if (ec) {
    why = "'" + host + "' is not an address to listen on";
    return false;
  }
  tcp::acceptor& acc = impl_->acceptor;
  const tcp::endpoint ep(a, static_cast<unsigned short>(port));
  acc.open(ep.protocol(), ec);
  if (!ec) acc.set_option(net::socket_base::reuse_address(true), ec);
  if (!ec) acc.bind(ep, ec);
  if (!ec) acc.listen(4096, ec);
  if (ec) {
    why = ec.message();
    return false;
  }
  return true;
}

int Front::Port() const { return impl_->acceptor.local_endpoint().port(); }

void Front::Run() {
  impl_->Accept();
  impl_->ioc.run();
}

void Front::Stop() {
  net::post(impl_->ioc, [f = impl_.get()] {
    if (f->stopping) return;
    f->stopping = true;
    error_code ignored;
    f->acceptor.close(ignored);
    f->pause.cancel();
    const std::vector<Impl::Conn*> open(f->conns.begin(), f->conns.end());
    for (Impl::Conn* c : open) c->Stop();
    // What is still under way has a few seconds to finish.
    f->ticksLeft = 100;
    f->WaitForLast();
  });
}

void Front::Impl::WaitForLast() {
  if (conns.empty() || --ticksLeft <= 0) return ioc.stop();
  last.expires_after(std::chrono::milliseconds(50));
  last.async_wait([this](const error_code&) { WaitForLast(); });
}

}  // namespace morvik::server
