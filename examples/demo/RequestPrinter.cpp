#include "RequestPrinter.h"

#include <cstdio>
#include <utility>

namespace {

// Long ad URLs are cut to keep one request on one line.
constexpr std::size_t kLongestTarget = 140;

// Right-aligned in `width` characters (0: as long as it takes).
std::string seconds(double value, int width = 0) {
  char text[32];
  std::snprintf(text, sizeof text, "%*.3fs", width, value);
  return text;
}

}  // namespace

RequestPrinter::RequestPrinter(std::ostream& out, std::function<double()> elapsed)
    : out_(out), elapsed_(std::move(elapsed)) {}

void RequestPrinter::print(const AdServer::Request& request) {
  std::string target = request.target;
  if (target.size() > kLongestTarget) target = target.substr(0, kLongestTarget) + "...";
  std::lock_guard lock(mutex_);
  ++count_;
  if (summarized_) return;
  writeLine("server", request.method + ' ' + request.host + target);
}

void RequestPrinter::say(const std::string& who, const std::string& what) {
  std::lock_guard lock(mutex_);
  if (!summarized_) writeLine(who, what);
}

void RequestPrinter::writeLine(const std::string& who, const std::string& what) {
  char column[16];
  std::snprintf(column, sizeof column, "%-9s", who.c_str());
  out_ << "  " << seconds(elapsed_(), 7) << "  " << column << ' ' << what << std::endl;
}

void RequestPrinter::summarize(const std::string& outcome) {
  std::lock_guard lock(mutex_);
  summarized_ = true;
  out_ << outcome << ": " << count_ << " requests to the ad server in " << seconds(elapsed_()) << " of virtual time"
       << std::endl;
}

std::size_t RequestPrinter::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}
