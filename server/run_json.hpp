// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A run as the API writes it.
#include <optional>

#include <nlohmann/json.hpp>

#include "store.hpp"

namespace morvik::server {

template <class T>
nlohmann::json OptJson(const std::optional<T>& v) {
  return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

inline nlohmann::json RunJson(const Run& r) {
  nlohmann::json j = {{"id", r.id},
                      {"name", r.name},
                      {"status", r.status},
                      {"score", OptJson(r.score)},
                      {"combo", OptJson(r.combo)},
                      {"frames", OptJson(r.frames)},
                      {"games", OptJson(r.games)},
                      {"version", OptJson(r.version)},
                      {"reason", OptJson(r.reason)},
                      {"date", r.date},
                      {"course", OptJson(r.course)}};
  if (r.rank > 0) j["rank"] = r.rank;
  return j;
}

// Every text in an answer is valid UTF-8 already; a stray byte would be replaced, never sent.
inline std::string JsonText(const nlohmann::json& j) {
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace morvik::server
