// Pictures of what the demo shows: a view drawn as the screen shows it, written as a PNG.
// Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace platform {
class View;
}

// Writes `view` with its subviews, one pixel a point, to `path` (its folder is made).
// Returns an empty string on success, else what went wrong.
std::string writePicture(const platform::View& view, const std::filesystem::path& path);
