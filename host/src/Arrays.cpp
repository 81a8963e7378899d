// The zv array functions and the host's zvCalloc memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <unordered_set>

#include "HostInternal.hpp"

namespace {

// Every array lives in a slab the host keeps for its whole life. A destroyed array goes onto a free list with
// its small storage kept (a scalar's element, a short text), so that the arrays a workspace query creates and
// destroys by the thousand allocate nothing once the first query ran. Because a slab is never returned, a
// pointer can be told live without a lookup table: it must name an array slot of a slab, and that slot's
// array must carry the live flag. Any other pointer (a freed array, another structure) is answered as dead.
class ArrayPool {
  public:
    zvArray* take() {
        zvArray* array = nullptr;
        if (!free_.empty()) {
            array = free_.back();
            free_.pop_back();
        } else {
            if (slabs_.empty() || used_ == slabs_.back().size) {
                grow();
            }
            array = new (slabs_.back().arrays + used_++) zvArray;
        }
        array->live = true;
        ++live_;
        return array;
    }

    // The array must be live, its field values released first. An array holds only what its class uses.
    void give(zvArray* array) {
        array->live = false;
        switch (array->classId) {
            case zvCHAR_CLASS:
                keepSmall(array->chars);
                break;
            case zvSTRUCT_CLASS:
                array->fieldNames = {};
                array->fieldValues = {};
                array->fieldLookups = nullptr;
                break;
            default:
                keepSmall(array->re);
                if (array->complex) {
                    keepSmall(array->im);
                    array->complex = false;
                }
                break;
        }
        array->classId = zvDOUBLE_CLASS;
        --live_;
        free_.push_back(array);
    }

    bool isLive(const zvArray* array) const {
        // The slab of the last array asked about first: a workspace query keeps using the same few arrays.
        if (lastSlab_ < slabs_.size() && inSlab(lastSlab_, array)) {
            return isSlot(lastSlab_, array);
        }
        for (std::size_t i = slabs_.size(); i-- > 0;) {
            if (inSlab(i, array)) {
                lastSlab_ = i;
                return isSlot(i, array);
            }
        }
        return false;
    }

    std::size_t liveCount() const { return live_; }

  private:
    struct Slab {
        zvArray* arrays;  // raw storage; slots up to the pool's use are constructed
        std::size_t size;
    };

    // Whether the address lies among the constructed slots of slab i.
    bool inSlab(std::size_t i, const zvArray* array) const {
        const auto address = reinterpret_cast<std::uintptr_t>(array);
        const auto base = reinterpret_cast<std::uintptr_t>(slabs_[i].arrays);
        const std::size_t constructed = i + 1 == slabs_.size() ? used_ : slabs_[i].size;
        return address >= base && address < base + constructed * sizeof(zvArray);
    }
    // For an address in slab i: whether it is the start of a slot whose array is live.
    bool isSlot(std::size_t i, const zvArray* array) const {
        const auto offset =
            reinterpret_cast<std::uintptr_t>(array) - reinterpret_cast<std::uintptr_t>(slabs_[i].arrays);
        return offset % sizeof(zvArray) == 0 && array->live;
    }

    // Slabs grow fourfold, so that even a model with a million arrays has only a few to check; the first is
    // small, as most runs hold few arrays. Pages of a slab that no array reached yet take no memory.
    void grow() {
        constexpr std::size_t kFirst = 256, kLargest = std::size_t{1} << 20;
        const std::size_t size = slabs_.empty() ? kFirst : std::min(4 * slabs_.back().size, kLargest);
        slabs_.push_back({std::allocator<zvArray>().allocate(size), size});
        used_ = 0;
    }

    // Storage of a few elements is kept for the next array; more is released.
    template <typename Container>
    static void keepSmall(Container& storage) {
        constexpr std::size_t kKept = 64;
        if (storage.capacity() > kKept) {
            Container().swap(storage);
        } else {
            storage.clear();
        }
    }

    std::vector<Slab> slabs_;
    std::size_t used_ = 0;  // constructed slots of the last slab
    std::vector<zvArray*> free_;
    std::size_t live_ = 0;
    mutable std::size_t lastSlab_ = 0;
};

// Never destroyed: arrays held by other static objects are released after any destructor here would run.
ArrayPool& pool() {
    static ArrayPool* const instance = new ArrayPool;
    return *instance;
}

std::unordered_set<void*>& hostBlocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

// A new live array from the pool, filled by `fill`; when that throws (an allocation too large), the array
// goes back before the exception goes on.
template <typename Fill>
zvArray* created(Fill fill) {
    zvArray* array = pool().take();
    try {
        fill(*array);
    } catch (...) {
        pool().give(array);
        throw;
    }
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
    return array != nullptr && pool().isLive(array) ? array : nullptr;
}

zvClassID classOf(const zvArray* array) {
    return live(array) != nullptr ? array->classId : zvUNKNOWN_CLASS;
}

// A deep copy of a live array: only what its class uses is copied (a pooled array holds nothing else).
zvArray* duplicate(const zvArray& array) {
    zvArray* copy = created([&array](zvArray& to) {
        to.classId = array.classId;
        to.dims = array.dims;
        switch (array.classId) {
            case zvCHAR_CLASS:
                to.chars = array.chars;
                break;
            case zvSTRUCT_CLASS:
                to.fieldNames = array.fieldNames;
                to.fieldValues = array.fieldValues;
                break;
            default:
                to.re = array.re;
                to.im = array.im;
                to.complex = array.complex;
                break;
        }
    });
    for (zvArray*& value : copy->fieldValues) {
        value = duplicate(*value);
    }
    return copy;
}

}  // namespace

namespace quonix::detail {

bool isLive(const zvArray* array) {
    return live(array) != nullptr;
}

zvArray* createScalar(double value) {
    return created([value](zvArray& array) {
        array.dims = {1, 1};
        array.re.assign(1, value);
    });
}

void destroyOwned(zvArray* array) {
    if (array == nullptr) {
        return;
    }
    // Field values are checked: a module may have set any pointer as one.
    for (zvArray* value : array->fieldValues) {
        zvDestroyArray(value);
    }
    pool().give(array);
}

zvArray* duplicateLive(const zvArray* array) {
    return live(array) != nullptr ? duplicate(*array) : nullptr;
}

zvArray* createCharArray(std::string_view text) {
    return created([text](zvArray& array) {
        array.classId = zvCHAR_CLASS;
        array.dims = {1, text.size()};
        array.chars.assign(text);
    });
}

}  // namespace quonix::detail

namespace quonix {

std::size_t liveArrayCount() {
    return pool().liveCount();
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
    return created([&](zvArray& array) {
        array.dims = {m, n};
        array.re.assign(count, 0.0);
        if (complexity == zvCOMPLEX) {
            array.complex = true;
            array.im.assign(count, 0.0);
        }
    });
}

zvArray* zvCreateDoubleScalar(double value) {
    const quonix::detail::HostCall call("zvCreateDoubleScalar");
    if (call.failed()) {
        return nullptr;
    }
    return quonix::detail::createScalar(value);
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
    zvArray* array = created([&](zvArray& structure) {
        structure.classId = zvSTRUCT_CLASS;
        structure.dims = {m, n};
        structure.fieldNames = std::move(names);
        structure.fieldValues.reserve(slots);
    });
    for (std::size_t i = 0; i < slots; ++i) {
        array->fieldValues.push_back(zvCreateDoubleMatrix(0, 0, zvREAL));
    }
    return array;
}

zvArray* zvDuplicateArray(const zvArray* array) {
    const quonix::detail::HostCall call("zvDuplicateArray");
    return call.failed() ? nullptr : quonix::detail::duplicateLive(array);
}

void zvDestroyArray(zvArray* array) {
    // An unknown or already destroyed pointer is ignored rather than freed twice.
    if (live(array) != nullptr) {
        quonix::detail::destroyOwned(array);
    }
}

zvClassID zvGetClassID(const zvArray* array) {
    return classOf(array);
}
int zvIsNumeric(const zvArray* array) {
    return classOf(array) == zvDOUBLE_CLASS ? 1 : 0;
}
int zvIsChar(const zvArray* array) {
    return classOf(array) == zvCHAR_CLASS ? 1 : 0;
}
int zvIsStruct(const zvArray* array) {
    return classOf(array) == zvSTRUCT_CLASS ? 1 : 0;
}
int zvIsComplex(const zvArray* array) {
    return classOf(array) == zvDOUBLE_CLASS && array->complex ? 1 : 0;
}
int zvIsEmpty(const zvArray* array) {
    return zvGetNumberOfElements(array) == 0 ? 1 : 0;
}

size_t zvGetM(const zvArray* array) {
    return live(array) != nullptr ? array->dims[0] : 0;
}

size_t zvGetN(const zvArray* array) {
    return live(array) != nullptr ? array->dims[1] : 0;
}

size_t zvGetNumberOfElements(const zvArray* array) {
    return live(array) != nullptr ? array->dims[0] * array->dims[1] : 0;
}

size_t zvGetNumberOfDimensions(const zvArray* array) {
    return live(array) != nullptr ? array->dims.size() : 0;
}

const size_t* get_dimensions(const zvArray* array) {
    return live(array) != nullptr ? array->dims.data() : nullptr;
}

double* zvGetPr(const zvArray* array) {
    if (classOf(array) != zvDOUBLE_CLASS || array->re.empty()) {
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
    if (classOf(array) != zvDOUBLE_CLASS || array->re.empty()) {
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
