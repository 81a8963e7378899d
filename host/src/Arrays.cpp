// The zv array functions and the host's zvCalloc memory.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "HostInternal.hpp"

namespace {

std::unordered_set<const zvArray*>& liveArrays() {
    static std::unordered_set<const zvArray*> live;
    return live;
}

std::unordered_set<void*>& hostBlocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

zvArray* track(zvArray* array) {
    liveArrays().insert(array);
    return array;
}

// Element count of m-by-n, or false when it does not fit in size_t.
bool elementCount(std::size_t m, std::size_t n, std::size_t& count) {
    if (n != 0 && m > std::numeric_limits<std::size_t>::max() / n) {
        return false;
    }
    count = m * n;
    return true;
}

const zvArray* live(const zvArray* array) {
    return quonix::detail::isLive(array) ? array : nullptr;
}

}  // namespace

namespace quonix::detail {

bool isLive(const zvArray* array) {
    return array != nullptr && liveArrays().count(array) != 0;
}

zvArray* createCharArray(std::string_view text) {
    auto* array = new zvArray;
    array->classId = zvCHAR_CLASS;
    array->dims = {1, text.size()};
    array->chars.assign(text);
    return track(array);
}

}  // namespace quonix::detail

namespace quonix {

std::size_t liveArrayCount() {
    return liveArrays().size();
}

std::size_t releaseHostMemory() {
    std::size_t count = hostBlocks().size();
    for (void* memory : hostBlocks()) {
        std::free(memory);
    }
    hostBlocks().clear();
    return count;
}

}  // namespace quonix

extern "C" {

zvArray* zvCreateDoubleMatrix(size_t m, size_t n, zvComplexity complexity) {
    const quonix::detail::HostCall call("zvCreateDoubleMatrix");
    std::size_t count = 0;
    if (call.failed() || !elementCount(m, n, count)) {
        return nullptr;
    }
    auto* array = new zvArray;
    array->dims = {m, n};
    array->re.assign(count, 0.0);
    if (complexity == zvCOMPLEX) {
        array->complex = true;
        array->im.assign(count, 0.0);
    }
    return track(array);
}

zvArray* zvCreateDoubleScalar(double value) {
    const quonix::detail::HostCall call("zvCreateDoubleScalar");
    if (call.failed()) {
        return nullptr;
    }
    zvArray* array = zvCreateDoubleMatrix(1, 1, zvREAL);
    array->re[0] = value;
    return array;
}

zvArray* zvCreateString(const char* text) {
    const quonix::detail::HostCall call("zvCreateString");
    if (call.failed()) {
        return nullptr;
    }
    if (text == nullptr) {
        zvArray* array = quonix::detail::createCharArray("");
        array->dims = {0, 0};
        return array;
    }
    return quonix::detail::createCharArray(text);
}

zvArray* zvCreateStructMatrix(size_t m, size_t n, int nfields, const char** fieldNames) {
    const quonix::detail::HostCall call("zvCreateStructMatrix");
    std::size_t count = 0;
    if (call.failed() || nfields < 0 || !elementCount(m, n, count) ||
        (nfields > 0 && fieldNames == nullptr)) {
        return nullptr;
    }
    std::vector<std::string> names;
    for (int i = 0; i < nfields; ++i) {
        if (fieldNames[i] == nullptr || fieldNames[i][0] == '\0') {
            return nullptr;
        }
        for (const std::string& seen : names) {
            if (seen == fieldNames[i]) {
                return nullptr;
            }
        }
        names.emplace_back(fieldNames[i]);
    }
    std::size_t slots = 0;
    if (!elementCount(count, names.size(), slots)) {
        return nullptr;
    }
    auto* array = new zvArray;
    array->classId = zvSTRUCT_CLASS;
    array->dims = {m, n};
    array->fieldNames = std::move(names);
    array->fieldValues.reserve(slots);
    for (std::size_t i = 0; i < slots; ++i) {
        array->fieldValues.push_back(zvCreateDoubleMatrix(0, 0, zvREAL));
    }
    return track(array);
}

zvArray* zvDuplicateArray(const zvArray* array) {
    const quonix::detail::HostCall call("zvDuplicateArray");
    if (call.failed() || live(array) == nullptr) {
        return nullptr;
    }
    auto* copy = new zvArray(*array);
    copy->fieldLookups = nullptr;
    for (zvArray*& value : copy->fieldValues) {
        value = zvDuplicateArray(value);
    }
    return track(copy);
}

void zvDestroyArray(zvArray* array) {
    // An unknown or already destroyed pointer is ignored rather than freed twice.
    if (array == nullptr || liveArrays().erase(array) == 0) {
        return;
    }
    for (zvArray* value : array->fieldValues) {
        zvDestroyArray(value);
    }
    delete array;
}

zvClassID zvGetClassID(const zvArray* array) {
    return live(array) != nullptr ? array->classId : zvUNKNOWN_CLASS;
}
int zvIsNumeric(const zvArray* array) {
    return zvGetClassID(array) == zvDOUBLE_CLASS ? 1 : 0;
}
int zvIsChar(const zvArray* array) {
    return zvGetClassID(array) == zvCHAR_CLASS ? 1 : 0;
}
int zvIsStruct(const zvArray* array) {
    return zvGetClassID(array) == zvSTRUCT_CLASS ? 1 : 0;
}
int zvIsComplex(const zvArray* array) {
    return zvIsNumeric(array) != 0 && array->complex ? 1 : 0;
}
int zvIsEmpty(const zvArray* array) {
    return zvGetNumberOfElements(array) == 0 ? 1 : 0;
}

size_t zvGetM(const zvArray* array) {
    return live(array) != nullptr ? array->dims[0] : 0;
}

size_t zvGetN(const zvArray* array) {
    if (live(array) == nullptr) {
        return 0;
    }
    std::size_t n = 1;
    for (std::size_t i = 1; i < array->dims.size(); ++i) {
        n *= array->dims[i];
    }
    return n;
}

size_t zvGetNumberOfElements(const zvArray* array) {
    return zvGetM(array) * zvGetN(array);
}

size_t zvGetNumberOfDimensions(const zvArray* array) {
    return live(array) != nullptr ? array->dims.size() : 0;
}

const size_t* get_dimensions(const zvArray* array) {
    return live(array) != nullptr ? array->dims.data() : nullptr;
}

double* zvGetPr(const zvArray* array) {
    if (zvIsNumeric(array) == 0 || array->re.empty()) {
        return nullptr;
    }
    return const_cast<zvArray*>(array)->re.data();
}

double* zvGetPi(const zvArray* array) {
    if (zvIsComplex(array) == 0 || array->im.empty()) {
        return nullptr;
    }
    return const_cast<zvArray*>(array)->im.data();
}

double zvGetScalar(const zvArray* array) {
    if (zvIsNumeric(array) == 0 || array->re.empty()) {
        return 0.0;
    }
    return array->re[0];
}

char* zvArrayToString(const zvArray* array) {
    const quonix::detail::HostCall call("zvArrayToString");
    if (call.failed() || zvIsChar(array) == 0) {
        return nullptr;
    }
    // The text is the characters in storage order (column by column).
    auto* text = static_cast<char*>(zvCalloc(array->chars.size() + 1, 1));
    if (text != nullptr) {
        std::memcpy(text, array->chars.data(), array->chars.size());
    }
    return text;
}

int zvGetNumberOfFields(const zvArray* array) {
    return zvIsStruct(array) != 0 ? static_cast<int>(array->fieldNames.size()) : 0;
}

int zvGetFieldNumber(const zvArray* array, const char* name) {
    const quonix::detail::HostCall call("zvGetFieldNumber");
    if (call.failed() || zvIsStruct(array) == 0 || name == nullptr) {
        return -1;
    }
    if (array->fieldLookups != nullptr) {
        array->fieldLookups->insert(name);
    }
    for (std::size_t i = 0; i < array->fieldNames.size(); ++i) {
        if (array->fieldNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* zvGetFieldNameByNumber(const zvArray* array, int fieldNumber) {
    if (fieldNumber < 0 || fieldNumber >= zvGetNumberOfFields(array)) {
        return nullptr;
    }
    return array->fieldNames[static_cast<std::size_t>(fieldNumber)].c_str();
}

zvArray* get_struct_field_by_number(const zvArray* array, size_t index, int fieldNumber) {
    const quonix::detail::HostCall call("get_struct_field_by_number");
    if (call.failed() || fieldNumber < 0 || fieldNumber >= zvGetNumberOfFields(array) ||
        index >= zvGetNumberOfElements(array)) {
        return nullptr;
    }
    return array->fieldValues[index * array->fieldNames.size() + static_cast<std::size_t>(fieldNumber)];
}

void zvSetFieldByNumber(zvArray* array, size_t index, int fieldNumber, zvArray* value) {
    if (fieldNumber < 0 || fieldNumber >= zvGetNumberOfFields(array) ||
        index >= zvGetNumberOfElements(array)) {
        // Out of range: the structure does not take the value, so it is released here rather than leaked.
        zvDestroyArray(value);
        return;
    }
    zvArray*& slot =
        array->fieldValues[index * array->fieldNames.size() + static_cast<std::size_t>(fieldNumber)];
    if (slot != value) {
        zvDestroyArray(slot);
        slot = value;
    }
}

void* zvCalloc(size_t n, size_t size) {
    const quonix::detail::HostCall call("zvCalloc");
    std::size_t bytes = 0;
    if (call.failed() || !elementCount(n, size, bytes)) {
        return nullptr;
    }
    // calloc(0) may answer null; one byte keeps "null" meaning failure.
    void* memory = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (memory != nullptr) {
        hostBlocks().insert(memory);
    }
    return memory;
}

void zvFree(void* memory) {
    if (memory != nullptr && hostBlocks().erase(memory) != 0) {
        std::free(memory);
    }
}

}  // extern "C"
