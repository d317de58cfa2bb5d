#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <locale.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

std::int64_t utf16Length(std::string_view utf8) {
    // Without branches, so that the compiler can count many bytes at once: a report may list
    // 100,000 entries.
    std::int64_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // A continuation byte adds nothing; a four-byte sequence becomes a surrogate pair.
        units += static_cast<int>((byte & 0xC0) != 0x80) + static_cast<int>(byte >= 0xF0);
    }
    return units;
}

std::optional<std::int64_t> utf16Find(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return std::nullopt;
    }
    const std::size_t at = haystack.find(needle);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return utf16Length(haystack.substr(0, at));
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) {
        return false;
    }
    const auto lower = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), lower) !=
           haystack.end();
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

std::size_t plainJsonPrefix(std::string_view bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    // Nonzero when a byte of `word` is zero; exact as to whether there is one.
    const auto anyZero = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time where the processor can: bytes at or above 0x80 count as negative.
    const __m128i below = _mm_set1_epi8(0x20);
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        const __m128i stops =
            _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(block, below), _mm_cmpeq_epi8(block, quote)),
                         _mm_cmpeq_epi8(block, backslash));
        if (_mm_movemask_epi8(stops) != 0) {
            break;
        }
    }
#endif
    // Eight bytes at a time while none is below 0x20, at or above 0x80, a quote or a backslash.
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if (((word | ((word - kOnes * 0x20) & ~word)) & kHighs) != 0 ||
            anyZero(word ^ (kOnes * '"')) != 0 || anyZero(word ^ (kOnes * '\\')) != 0) {
            break;
        }
    }
    for (; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\') {
            break;
        }
    }
    return i;
}

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[extra] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
    std::string text = std::to_string(count);
    text += ' ';
    text += count == 1 ? one : many;
    return text;
}

std::string andMore(std::size_t left) {
    return "...and " + std::to_string(left) + " more";
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xf];
    }
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> percentDecodedPath(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t percent = text.find('%'); !text.empty(); percent = text.find('%')) {
        bytes.append(text.substr(0, percent));
        if (percent == std::string_view::npos) {
            break;
        }
        if (percent + 2 >= text.size() || hexDigitValue(text[percent + 1]) < 0 ||
            hexDigitValue(text[percent + 2]) < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(hexDigitValue(text[percent + 1]) * 16 +
                                   hexDigitValue(text[percent + 2]));
        text.remove_prefix(percent + 3);
    }
    return bytes;
}

std::string timeText(std::int64_t seconds, const char* format, bool utc) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (utc) {
        gmtime_r(&time, &parts);
    } else {
        localtime_r(&time, &parts);
    }
    // Names of months and days in English whatever locale the process took from its user (the
    // window's toolkit takes one): records and texts read the same everywhere.
    static const locale_t plain = newlocale(LC_ALL_MASK, "C", nullptr);
    char text[64];
    const std::size_t length = plain ? strftime_l(text, sizeof text, format, &parts, plain)
                                     : std::strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

} // namespace corvane
