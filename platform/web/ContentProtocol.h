// The messages between a web view (or script context) and its content process: one line
// of JSON per message. The host sends requests ("load", "context", "evaluate",
// "fireTimer", "installNative", "get", "call", and "nativeReply" answering a native
// call); the process answers each request with one reply, and may send native calls
// while it works on a request.
//
// The process runs page scripts, so everything it sends is untrusted: decodeMessage()
// checks every field's type and refuses what does not fit. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace platform {

class ContentProtocol {
 public:
  // How a navigation came about, as the page environment reports it.
  enum class NavigationKind { LinkClicked, FormSubmitted, BackForward, Reload, FormResubmitted, Other };

  struct Event {
    enum class Type {
      Navigation,       // url, mainFrame, navigationKind, frame
      OpenWindow,       // url, navigationKind
      SetTimer,         // timer, delay (seconds), repeats
      ClearTimer,       // timer
      Console,          // level, message
      Alert,            // message
      ReadyState,       // text: "loading", "interactive" or "complete"
      BodyText,         // text
      BackgroundColor,  // text: a CSS colour, empty when unset
      ContentSize,      // width, height: points, each absent when the page sets none
    };
    Type type = Type::Console;
    std::string url;
    bool mainFrame = true;
    NavigationKind navigationKind = NavigationKind::Other;
    std::string frame;
    std::int64_t timer = 0;
    double delay = 0;
    bool repeats = false;
    std::string level;
    std::string message;
    std::string text;
    std::optional<double> width;
    std::optional<double> height;
  };

  struct ScriptError {
    std::string name;
    std::string message;
  };

  // The answer to one request.
  struct Reply {
    std::int64_t id = 0;
    // The script's value as JSON, functions as handle objects (see kHandleKey); absent
    // for undefined.
    std::optional<nlohmann::ordered_json> result;
    // The value converted to a string as the page would ("" for undefined and null).
    std::string text;
    // The value cannot be represented (a cycle, or a function where none may go).
    bool unsupported = false;
    std::optional<ScriptError> error;
    std::vector<Event> events;
    // Events the page made past the per-request cap, which the process dropped.
    std::uint64_t droppedEvents = 0;
    // The process ends after this reply: its heap ran out of memory beyond repair.
    bool fatal = false;
  };

  // A call from script to a native function the host installed.
  struct NativeCall {
    std::uint64_t callId = 0;
    std::string name;
    nlohmann::ordered_json args;  // an array
  };

  struct Message {
    std::optional<Reply> reply;
    std::optional<NativeCall> nativeCall;
  };

  // The key of the one-key object that stands for a script function kept in the process.
  static constexpr const char* kHandleKey = "__morvaneHandle__";

  // Decodes one line from the process; std::nullopt for anything that is not a well-formed
  // reply or native call. Events of unknown types and malformed events are skipped.
  [[nodiscard]] static std::optional<Message> decodeMessage(std::string_view line);

  // The delay of a timer in seconds from what a page asked for in milliseconds: not a
  // number or negative is 0; capped at 2^31 - 1 ms, as browsers do.
  static double timerDelaySeconds(double milliseconds);
};

}  // namespace platform
