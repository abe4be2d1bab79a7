// Numbers read from text and text written from numbers, the way the platform's string
// and number classes do it. Every place that reads a switch, a page parameter or a
// server value as a number or a boolean goes through these, so they all agree.
//
// Readings take a prefix: leading white space is skipped, then the longest leading
// number is read; text that does not begin with one reads as 0 (false). Nothing here
// fails or throws, whatever the input. Pure functions, usable on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// True when the text, after leading white space, an optional sign and leading zeros,
// begins with "Y", "y", "T", "t" or a digit 1 to 9 ("YES", "true", "1", " +012").
bool stringBoolValue(std::string_view text);

// An optional sign and decimal digits; saturates at the type's limits.
std::int32_t stringIntValue(std::string_view text);
// integerValue and longLongValue of the platform's strings (64 bits on its devices).
std::int64_t stringIntegerValue(std::string_view text);

// An optional sign, digits with an optional decimal point, and an optional exponent
// ("-1.5e3"); no hexadecimal, "inf" or "nan". Overflow gives an infinity, underflow 0.
double stringDoubleValue(std::string_view text);
// As stringDoubleValue, rounded once, to single precision.
float stringFloatValue(std::string_view text);

// The text of an integer number: decimal digits with a "-" when negative.
std::string integerString(std::int64_t value);
std::string unsignedString(std::uint64_t value);
// The text of a floating-point number: the fewest digits that read back as the same
// double, laid out as printf's "%.17g" would ("0.1", "1", "1.5e+20", "1e-05"),
// "nan", "inf" or "-inf".
std::string doubleString(double value);

}  // namespace platform
