// MurmurHash3, x86 32-bit variant: a fast non-cryptographic hash of bytes. Blocks are
// read little-endian whatever the machine, so the value is the same everywhere.
// A pure function; any thread.
#pragma once

#include <cstdint>
#include <string_view>

std::uint32_t ZUMMurmurHash3_x86_32(std::string_view bytes, std::uint32_t seed = 0);
