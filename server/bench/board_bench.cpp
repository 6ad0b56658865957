// SPDX-License-Identifier: GPL-3.0-or-later
// A load client for the leaderboard's benchmark (server/bench/run.sh):
//   morvik_board_bench HOST PORT PATH CLIENTS REQUESTS_EACH
// CLIENTS threads, each on its own kept-alive connection, ask for PATH
// REQUESTS_EACH times; prints the answers' latency (p50, p90, p99, max) and
// the requests a second. Fails when any answer is not 200.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: morvik_board_bench HOST PORT PATH CLIENTS REQUESTS_EACH\n");
    return 2;
  }
  const std::string host = argv[1], path = argv[3];
  const int port = std::atoi(argv[2]), clients = std::atoi(argv[4]), each = std::atoi(argv[5]);
  if (port <= 0 || clients <= 0 || clients > 256 || each <= 0 || each > 1000000) {
    std::fprintf(stderr, "morvik_board_bench: bad numbers\n");
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<std::vector<double>> times(static_cast<size_t>(clients));
  std::atomic<int> failed{0};
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      httplib::Client cli(host, port);
      cli.set_keep_alive(true);
      cli.set_tcp_nodelay(true);
      cli.set_read_timeout(30, 0);
      std::vector<double>& mine = times[static_cast<size_t>(c)];
      mine.reserve(static_cast<size_t>(each));
      for (int i = 0; i < each; ++i) {
        const auto t0 = Clock::now();
        auto res = cli.Get(path);
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (!res || res->status != 200) ++failed;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& v : times) all.insert(all.end(), v.begin(), v.end());
  std::sort(all.begin(), all.end());
  auto q = [&](double p) { return all[std::min(all.size() - 1, static_cast<size_t>(p * static_cast<double>(all.size())))]; };
  std::printf("%s: %zu requests from %d clients in %.2f s: %.0f a second; latency p50 %.2f ms, p90 %.2f ms, "
              "p99 %.2f ms, max %.2f ms; %d failed\n",
              path.c_str(), all.size(), clients, seconds, static_cast<double>(all.size()) / seconds, q(0.5), q(0.9),
              q(0.99), all.back(), failed.load());
  return failed.load() == 0 ? 0 : 1;
}
