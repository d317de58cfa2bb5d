#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Our texts are UTF-8; text views count in UTF-16 code units, converted here at that boundary.
std::int64_t utf16Length(std::string_view utf8);

// UTF-16 location of the first occurrence of `needle` in `haystack`, case significant.
std::optional<std::int64_t> utf16Find(std::string_view haystack, std::string_view needle);

// True when `needle` occurs in `haystack`, ignoring ASCII letter case.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

// True when `a` and `b` are the same text, ignoring ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// How many bytes from the start are printable ASCII other than '"' and '\\': the run a JSON
// string holds as it is, with no escape.
std::size_t plainJsonPrefix(std::string_view bytes);

// The count with the word that goes with it: "1 entry", "2 entries".
std::string plural(std::size_t count, std::string_view one, std::string_view many);

// "...and N more": the end of a list that names only some of its items, N being those left out.
std::string andMore(std::size_t left);

// Each byte of `bytes` as two lower-case hex digits, appended to `out`.
void appendHex(std::string& out, std::string_view bytes);

// The value of one hex digit of either case; -1 for any other character.
int hexDigitValue(char c);

// The bytes a percent-encoded path stands for; none when a "%" is not followed by two hex digits.
std::optional<std::string> percentDecodedPath(std::string_view text);

// The time (seconds since the epoch) written by strftime's `format`, in UTC or local time.
std::string timeText(std::int64_t seconds, const char* format, bool utc);

} // namespace corvane
