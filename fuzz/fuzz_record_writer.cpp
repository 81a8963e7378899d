// Fuzzes the record writer layer with arbitrary kinds, names, counts and dimensions. Values are sized from
// the dimensions the input asks for, so every read the host makes stays inside them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/QrxWriter.hpp"
#include "quonix/host.hpp"

namespace {

struct Input {
    const uint8_t* data;
    std::size_t size;
    int32_t i32() {
        int32_t v = 0;
        const std::size_t n = size < 4 ? size : 4;
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
    uint8_t byte() {
        if (size == 0) {
            return 0;
        }
        --size;
        return *data++;
    }
    std::string text() {
        std::string s;
        while (size > 0 && *data != 0) {
            s.push_back(static_cast<char>(*data++));
            --size;
        }
        byte();
        return s;
    }
};

// Small dimensions stay small; anything else is kept as is (negative and huge values must be refused
// before any value is read).
int32_t dimension(Input& in) {
    const int32_t v = in.i32();
    return (v >= 0 && v <= 16) || v < 0 ? v : (v > 1000 ? v : v % 17);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input in{data, size};
    quonix::Model model("fuzz");
    quonix::BlockSpec blockSpec;
    blockSpec.name = "b";
    quonix::BlockSpec& added = model.addBlock(blockSpec);
    quonix::BlockInstance inst(added, quonix::HostSettings{});
    inst.block().sizes[HB_SIZE_NUM_IWORK] = in.byte() % 4;
    inst.setWriterResult(in.byte() % 8 == 0 ? 0 : 1);
    inst.beginRecordCapture();

    const int32_t kind = in.i32();
    const bool nullValue = in.byte() % 5 == 0;
    const int32_t dataType = in.i32();
    const int32_t rows = dimension(in);
    const int32_t cols = dimension(in);
    const std::string name = in.text();
    const std::string textValue = in.text();

    // Storage large enough for any element type and both parts of a split-complex value.
    const bool bounded = rows >= 0 && cols >= 0 && rows <= 16 && cols <= 16;
    const std::size_t elements =
        bounded ? static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols + 1) : 0;
    std::vector<double> re(elements * 2 + 2, 1.5);
    std::vector<double> im(elements * 2 + 2, -2.5);
    std::vector<const char*> texts(bounded ? static_cast<std::size_t>(rows) + 1 : 1, textValue.c_str());
    const void* pair[2] = {re.data(), im.data()};

    const void* value = nullptr;
    if (!nullValue) {
        if (kind == 0 || kind == 1) {
            value = textValue.c_str();
        } else if (kind == 2) {
            value = texts.data();
        } else if (kind == 9 || kind == 10) {
            value = pair;
        } else {
            value = re.data();
        }
    }
    if (bounded || nullValue || kind < 0 || kind > 10) {
        korlix::ssWriteQRXNameValuePair(&inst.block(), kind, name.empty() ? nullptr : name.c_str(), value,
                                        kind == 2 ? rows : dataType, kind == 2 ? 0 : rows, cols);
    }

    const std::string vect = in.text();
    switch (in.byte() % 3) {
        case 0:
            korlix::ssWriteQRXWorkVect(&inst.block(), vect.c_str(), 0);
            break;
        case 1:
            korlix::ssWriteQRXWorkVect(&inst.block(), vect.c_str(), 1, name.c_str(), rows);
            break;
        default:
            korlix::ssWriteQRXWorkVect(&inst.block(), vect.c_str(), 2, "PrevTrigInputVal", 1, "CommitTrigger",
                                       cols);
            break;
    }
    if (bounded) {
        korlix::ssWriteQRXParamSettings(&inst.block(), 2, 7, "A", re.data(), rows, 0, 1, "B",
                                        textValue.c_str());
    }
    inst.endRecordCapture();
    return 0;
}
