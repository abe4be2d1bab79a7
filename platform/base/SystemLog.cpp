#include "platform/base/SystemLog.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

struct Sink {
  std::mutex mutex;
  std::vector<SystemLog::Capture*> captures;
};

Sink& sink() {
  static Sink instance;
  return instance;
}

}  // namespace

void SystemLog::write(std::string_view subsystem, std::string_view message) {
  auto& s = sink();
  std::lock_guard lock(s.mutex);
  bool quiet = false;
  for (Capture* capture : s.captures) {
    capture->append(subsystem, message);
    quiet = quiet || capture->quiet_;
  }
  if (quiet) return;
  std::string line;
  line.reserve(subsystem.size() + message.size() + 4);
  line.append("[").append(subsystem).append("] ").append(message).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

SystemLog::Capture::Capture(bool quiet) : quiet_(quiet) {
  auto& s = sink();
  std::lock_guard lock(s.mutex);
  s.captures.push_back(this);
}

SystemLog::Capture::~Capture() {
  auto& s = sink();
  std::lock_guard lock(s.mutex);
  std::erase(s.captures, this);
}

void SystemLog::Capture::append(std::string_view subsystem, std::string_view message) {
  std::lock_guard lock(mutex_);
  lines_.push_back(Line{std::string(subsystem), std::string(message)});
}

std::vector<SystemLog::Line> SystemLog::Capture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> SystemLog::Capture::messages() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  result.reserve(lines_.size());
  for (const auto& line : lines_) result.push_back(line.message);
  return result;
}

bool SystemLog::Capture::contains(std::string_view text) const {
  std::lock_guard lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(),
                     [&](const Line& line) { return line.message.find(text) != std::string::npos; });
}

void SystemLog::Capture::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace platform
