// Reading dialog parameters from the block parameter structure and converting their text.
#include "services/Params.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/HostInterface.hpp"
#include "quonix/zv.h"

namespace korlix {

namespace {

std::string missingFieldMessage(const std::string& name) {
    return "Unable to find variable or field \"" + name + "\" in the s-function parameters";
}

bool isStreamSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One unsigned decimal number read the way formatted stream extraction reads it: white space skipped, an
// optional plus sign, then decimal digits up to the first non-digit. `pos` moves past what was consumed.
// Fails when no digit follows or the number exceeds 4294967295.
//
// A leading minus sign makes the read fail. Stream extraction would accept "-5" and hand back 2^32 - 5;
// every text read here is a count, length, offset or index, none of which can be negative, so such a text
// is refused instead of silently turned into a huge number.
bool readUint32(std::string_view text, std::size_t& pos, uint32_t& out) {
    while (pos < text.size() && isStreamSpace(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    const std::size_t firstDigit = pos;
    uint64_t number = 0;
    bool tooLarge = false;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (!tooLarge) {
            number = number * 10 + static_cast<uint64_t>(text[pos] - '0');
            tooLarge = number > UINT32_MAX;
        }
        ++pos;
    }
    if (pos == firstDigit || tooLarge) {
        return false;
    }
    out = static_cast<uint32_t>(number);
    return true;
}

struct DataTypeName {
    const char* name;
    int32_t id;
};

constexpr DataTypeName kDataTypeNames[] = {
    {"boolean", HB_DTYPE_BOOLEAN}, {"A_UINT8", HB_DTYPE_UINT8}, {"uint8", HB_DTYPE_UINT8},
    {"A_INT8", HB_DTYPE_INT8},     {"int8", HB_DTYPE_INT8},     {"A_UINT16", HB_DTYPE_UINT16},
    {"uint16", HB_DTYPE_UINT16},   {"A_INT16", HB_DTYPE_INT16}, {"int16", HB_DTYPE_INT16},
    {"A_UINT32", HB_DTYPE_UINT32}, {"uint32", HB_DTYPE_UINT32}, {"A_INT32", HB_DTYPE_INT32},
    {"int32", HB_DTYPE_INT32},
};

// Byte size of each host data type, indexed by its id.
constexpr int8_t kByteSizes[HB_DTYPE_COUNT] = {8, 4, 1, 1, 2, 2, 4, 4, 1};

}  // namespace

void getSFcnParamString(HostBlock* S, std::string name, std::string& value, std::string& errorText) {
    // Missing parameter 0 or one that is not a structure reads like a missing field.
    const zvArray* params = getSFcnParam(S, 0);
    if (params == nullptr || !zvIsStruct(params)) {
        errorText = missingFieldMessage(name);
        return;
    }
    const int field = zvGetFieldNumber(params, name.c_str());
    if (field < 0) {
        errorText = missingFieldMessage(name);
        return;
    }
    // An empty structure has no element 0; its field lookup answers null like a field without text.
    const zvArray* fieldValue = get_struct_field_by_number(params, 0, field);
    const HostText text(fieldValue != nullptr ? zvArrayToString(fieldValue) : nullptr);
    if (text == nullptr) {
        errorText = missingFieldMessage(name);
        return;
    }
    value.assign(text.get());
}

void stringToUint32(const std::string& text, uint32_t& value, std::string& errorText) {
    errorText.clear();
    if (text.empty()) {
        errorText = "Error converting empty string to uint32.";
        return;
    }
    std::size_t pos = 0;
    uint32_t number = 0;
    if (!readUint32(text, pos, number)) {
        errorText = "Error converting string " + text + " to uint32.";
        return;
    }
    value = number;
}

void stringToUint32Vector(const std::string& text, std::vector<uint32_t>& values, std::string& errorText) {
    errorText.clear();
    if (text.empty()) {
        errorText = "Error converting empty string to vector of uint32.";
        return;
    }
    std::size_t pos = 0;
    uint32_t number = 0;
    while (readUint32(text, pos, number)) {
        values.push_back(number);
    }
}

int32_t dataTypeNameToId(std::string name) {
    for (const DataTypeName& entry : kDataTypeNames) {
        if (name == entry.name) {
            return entry.id;
        }
    }
    return -1;
}

void parseDataTypeList(std::string text, std::vector<int32_t>& ids, std::string& errorText) {
    errorText.clear();
    ids.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos) {
            break;
        }
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string token = text.substr(start, end - start);
        const int32_t id = dataTypeNameToId(token);
        if (id < 0) {
            errorText =
                "Cannot convert following data type from string to Tarvel data type identifier: " + token;
            return;
        }
        ids.push_back(id);
        pos = end;
    }
}

int8_t dataTypeByteSize(int32_t id) {
    if (id < 0 || id >= HB_DTYPE_COUNT) {
        return -1;
    }
    return kByteSizes[id];
}

}  // namespace korlix
