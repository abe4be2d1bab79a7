// The Fennick command and the common event shapes that loggers send.
//
// A command is {"id": <logger id>, "params": <event>, "awake_timeinterval_since_boot_sec":
// <monotonic clock, seconds>, "timeinterval_since_boot_sec": <seconds since boot>}, the
// clocks read when it is made. Events are maps: a count {name: {key: 1}}, a value
// {name: value}, error parameters {"error_message": ..., "error_code": ...}.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/base/Error.h"

inline constexpr const char* kZUMFennickBufferedCommandID = "buffered";

// The command of `params` under `id`; std::nullopt when the id is empty, the params are
// no map or an empty one, or the command cannot become JSON (a non-finite number, text
// that is not UTF-8, nesting too deep): that last one is logged, never sent broken.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMFennickCommand(const std::string& id,
                                                                      const nlohmann::ordered_json& params);
// {name: value}; std::nullopt for an empty name or no value.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMFennickEvent(const std::string& name,
                                                                    const std::optional<nlohmann::ordered_json>& value);
// {name: {key: 1}}; std::nullopt for an empty name or no key.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMFennickCountEvent(const std::string& name,
                                                                         const std::optional<std::string>& key);
// {"error_message": the description or "", "error_code": the code}; std::nullopt
// without an error.
[[nodiscard]] std::optional<nlohmann::ordered_json> ZUMFennickErrorParameters(const platform::ErrorPtr& error);
