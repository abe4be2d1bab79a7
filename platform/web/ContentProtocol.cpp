#include "platform/web/ContentProtocol.h"

#include <cmath>

#include "platform/base/JSONParsing.h"

namespace platform {

namespace {

using Json = nlohmann::ordered_json;

std::optional<std::string> stringField(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::optional<double> numberField(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  double value = it->get<double>();
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

bool boolField(const Json& object, const char* key, bool fallback) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_boolean()) return fallback;
  return it->get<bool>();
}

ContentProtocol::NavigationKind navigationKind(const std::optional<std::string>& name) {
  using K = ContentProtocol::NavigationKind;
  if (!name) return K::Other;
  if (*name == "linkClicked") return K::LinkClicked;
  if (*name == "formSubmitted") return K::FormSubmitted;
  if (*name == "backForward") return K::BackForward;
  if (*name == "reload") return K::Reload;
  if (*name == "formResubmitted") return K::FormResubmitted;
  return K::Other;
}

// Timer ids are small positive integers the process hands out.
std::optional<std::int64_t> timerField(const Json& object) {
  auto value = numberField(object, "timer");
  if (!value || *value < 1 || *value > 9.0e15 || std::floor(*value) != *value) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

std::optional<ContentProtocol::Event> decodeEvent(const Json& json) {
  using Event = ContentProtocol::Event;
  if (!json.is_object()) return std::nullopt;
  auto type = stringField(json, "type");
  if (!type) return std::nullopt;
  Event event;
  if (*type == "navigation" || *type == "openWindow") {
    auto url = stringField(json, "url");
    if (!url) return std::nullopt;
    event.type = *type == "navigation" ? Event::Type::Navigation : Event::Type::OpenWindow;
    event.url = std::move(*url);
    event.mainFrame = boolField(json, "mainFrame", true);
    event.navigationKind = navigationKind(stringField(json, "navigationType"));
    event.frame = stringField(json, "frame").value_or("");
  } else if (*type == "setTimer") {
    auto timer = timerField(json);
    if (!timer) return std::nullopt;
    event.type = Event::Type::SetTimer;
    event.timer = *timer;
    event.delay = ContentProtocol::timerDelaySeconds(numberField(json, "delay").value_or(0));
    event.repeats = boolField(json, "repeats", false);
  } else if (*type == "clearTimer") {
    auto timer = timerField(json);
    if (!timer) return std::nullopt;
    event.type = Event::Type::ClearTimer;
    event.timer = *timer;
  } else if (*type == "console") {
    event.type = Event::Type::Console;
    event.level = stringField(json, "level").value_or("log");
    event.message = stringField(json, "message").value_or("");
  } else if (*type == "alert") {
    event.type = Event::Type::Alert;
    event.message = stringField(json, "message").value_or("");
  } else if (*type == "readyState") {
    auto state = stringField(json, "state");
    if (!state || (*state != "loading" && *state != "interactive" && *state != "complete")) {
      return std::nullopt;
    }
    event.type = Event::Type::ReadyState;
    event.text = std::move(*state);
  } else if (*type == "bodyText") {
    auto text = stringField(json, "text");
    if (!text) return std::nullopt;
    event.type = Event::Type::BodyText;
    event.text = std::move(*text);
  } else if (*type == "backgroundColor") {
    auto color = stringField(json, "color");
    if (!color) return std::nullopt;
    event.type = Event::Type::BackgroundColor;
    event.text = std::move(*color);
  } else if (*type == "contentSize") {
    event.type = Event::Type::ContentSize;
    auto sane = [](std::optional<double> v) -> std::optional<double> {
      if (!v || *v < 0 || *v > 1.0e7) return std::nullopt;
      return v;
    };
    event.width = sane(numberField(json, "width"));
    event.height = sane(numberField(json, "height"));
  } else {
    return std::nullopt;
  }
  return event;
}

}  // namespace

double ContentProtocol::timerDelaySeconds(double milliseconds) {
  if (!(milliseconds > 0)) return 0;
  return std::min(milliseconds, 2147483647.0) / 1000.0;
}

std::optional<ContentProtocol::Message> ContentProtocol::decodeMessage(std::string_view line) {
  Json json = parseJSON(line, JSONParseFailure::Discard);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  Message message;
  if (auto native = json.find("native"); native != json.end()) {
    if (!native->is_object()) return std::nullopt;
    auto callId = native->find("callId");
    auto name = stringField(*native, "name");
    auto args = native->find("args");
    if (callId == native->end() || !callId->is_number_unsigned() || !name || args == native->end() ||
        !args->is_array()) {
      return std::nullopt;
    }
    message.nativeCall = NativeCall{callId->get<std::uint64_t>(), std::move(*name), *args};
    return message;
  }
  auto id = json.find("id");
  if (id == json.end() || !id->is_number_integer()) return std::nullopt;
  Reply reply;
  reply.id = id->get<std::int64_t>();
  if (auto result = json.find("result"); result != json.end()) reply.result = *result;
  reply.text = stringField(json, "text").value_or("");
  reply.unsupported = boolField(json, "unsupported", false);
  reply.fatal = boolField(json, "fatal", false);
  if (auto dropped = json.find("droppedEvents"); dropped != json.end() && dropped->is_number_unsigned()) {
    reply.droppedEvents = dropped->get<std::uint64_t>();
  }
  if (auto error = json.find("error"); error != json.end()) {
    if (!error->is_object()) return std::nullopt;
    reply.error =
        ScriptError{stringField(*error, "name").value_or("Error"), stringField(*error, "message").value_or("")};
  }
  if (auto events = json.find("events"); events != json.end()) {
    if (!events->is_array()) return std::nullopt;
    reply.events.reserve(events->size());
    for (const auto& item : *events) {
      if (auto event = decodeEvent(item)) reply.events.push_back(std::move(*event));
    }
  }
  message.reply = std::move(reply);
  return message;
}

}  // namespace platform
