// Fuzzes the dialog text conversions against a straightforward reading of their rules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/Params.hpp"

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one unsigned number at pos the way the conversions do; false for a failed read.
bool referenceRead(const std::string& text, std::size_t& pos, uint32_t& value) {
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    uint64_t v = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        v = v * 10 + static_cast<uint64_t>(text[pos] - '0');
        if (v > 0xFFFFFFFFull) {
            return false;
        }
        ++pos;
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    uint32_t value = 7;
    std::string error;
    korlix::stringToUint32(text, value, error);
    std::size_t pos = 0;
    uint32_t expected = 0;
    const bool ok = !text.empty() && referenceRead(text, pos, expected);
    if (ok != error.empty() || (ok && value != expected) || (!ok && value != 7)) {
        std::abort();
    }

    std::vector<uint32_t> values{42};
    korlix::stringToUint32Vector(text, values, error);
    std::vector<uint32_t> reference{42};
    pos = 0;
    while (!text.empty() && referenceRead(text, pos, expected)) {
        reference.push_back(expected);
    }
    if (values != reference || error.empty() != !text.empty()) {
        std::abort();
    }

    std::vector<int32_t> ids{99};
    korlix::parseDataTypeList(text, ids, error);
    for (int32_t id : ids) {
        if (id < 2 || id > 8 || korlix::dataTypeByteSize(id) < 1) {
            std::abort();
        }
    }
    return 0;
}
