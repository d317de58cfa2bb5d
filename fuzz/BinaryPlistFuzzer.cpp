// Builds a binary plist from the input and feeds it to the reader's extraction (see
// PlistValuesCheck.h). libplist itself is not instrumented, so byte mutations rarely get past
// its offset table; writing the table here reaches its object parsing with references that
// point anywhere (back at their own container, past the end), odd sizes and odd string bytes.
//
// Few objects with few references each: libplist copies an object once per reference, and
// more would only find that (the reader bounds it with resource limits).
#include "PlistValuesCheck.h"

#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

namespace {

constexpr int kMaxObjects = 8;

void appendBigEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void appendMarker(std::string& out, int type, std::size_t count) {
    if (count < 15) {
        out += static_cast<char>(type | static_cast<int>(count));
        return;
    }
    out += static_cast<char>(type | 0x0F);
    out += static_cast<char>(0x11); // a two-byte integer holds the count
    appendBigEndian(out, count, 2);
}

std::string keyText(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return corvane::plistreader::kIdentifierKey;
    case 1:
        return corvane::plistreader::kIconFileKey;
    case 2:
        return corvane::plistreader::kShortVersionKey;
    default:
        return input.ConsumeRandomLengthString(32);
    }
}

std::string buildPlist(FuzzedDataProvider& input) {
    const int count = input.ConsumeIntegralInRange(1, kMaxObjects);
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    auto ref = [&] { return input.ConsumeIntegralInRange(0, count + 1); };
    for (int index = 0; index < count; ++index) {
        offsets.push_back(out.size());
        // The top object is a dictionary keyed by objects 1 and 2, mostly strings the reader
        // looks for.
        const int kind = index == 0                          ? 0
                         : index <= 2 && input.ConsumeBool() ? 3
                                                             : input.ConsumeIntegralInRange(0, 9);
        switch (kind) {
        case 0:
        case 1: {
            const std::size_t pairs = input.ConsumeIntegralInRange(0, 2);
            appendMarker(out, 0xD0, pairs);
            for (std::size_t i = 0; i < 2 * pairs; ++i) {
                out += static_cast<char>(i < pairs && index == 0 ? index + 1 + i : ref());
            }
            break;
        }
        case 2: {
            const std::size_t items = input.ConsumeIntegralInRange(0, 3);
            appendMarker(out, 0xA0, items);
            for (std::size_t i = 0; i < items; ++i) {
                out += static_cast<char>(ref());
            }
            break;
        }
        case 3:
        case 4: {
            const std::string text =
                index <= 2 ? keyText(input) : input.ConsumeRandomLengthString(40);
            appendMarker(out, 0x50, text.size());
            out += text;
            break;
        }
        case 5: {
            // UTF-16 big endian, any code units (lone surrogates too)
            const std::string units = input.ConsumeRandomLengthString(40);
            appendMarker(out, 0x60, units.size() / 2);
            out += units.substr(0, units.size() / 2 * 2);
            break;
        }
        case 6: {
            const int power = input.ConsumeIntegralInRange(0, 3);
            out += static_cast<char>(0x10 | power);
            appendBigEndian(out, input.ConsumeIntegral<std::uint64_t>(), 1 << power);
            break;
        }
        case 7:
            out += static_cast<char>(input.ConsumeBool() ? 0x23 : 0x33);
            appendBigEndian(out, input.ConsumeIntegral<std::uint64_t>(), 8);
            break;
        case 8: {
            const std::string bytes = input.ConsumeRandomLengthString(20);
            appendMarker(out, 0x40, bytes.size());
            out += bytes;
            break;
        }
        default:
            // Any marker byte at all, followed by a few bytes.
            out += input.ConsumeRandomLengthString(6);
            break;
        }
    }
    const std::uint64_t tableOffset = out.size();
    for (const std::uint64_t offset : offsets) {
        appendBigEndian(out, offset, 2);
    }
    out.append(6, '\0');
    out += static_cast<char>(2); // offset size
    out += static_cast<char>(1); // reference size
    appendBigEndian(out, static_cast<std::uint64_t>(count), 8);
    appendBigEndian(out, input.ConsumeBool() ? 0 : ref(), 8);
    appendBigEndian(out, tableOffset, 8);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    corvane::fuzz::checkReaderOutput(buildPlist(input));
    return 0;
}
