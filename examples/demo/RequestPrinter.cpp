#include "RequestPrinter.h"

#include <cstdio>
#include <utility>

namespace {

// Long ad URLs are cut to keep one request on one line.
constexpr std::size_t kLongestTarget = 140;

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3fs", value);
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
  out_ << "  " << seconds(elapsed_()) << "  " << request.method << ' ' << request.host << target << std::endl;
}

void RequestPrinter::summarize(const std::string& outcome) {
  std::lock_guard lock(mutex_);
  summarized_ = true;
  out_ << outcome << ": " << count_ << " requests to the ad server in " << seconds(elapsed_())
       << " of virtual time" << std::endl;
}

std::size_t RequestPrinter::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}
