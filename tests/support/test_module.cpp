// A small module for testing the host and the tool apart from the block library. It does what the block's
// dialog fields say, one field per call: OnSizes (registration), OnSampleTimes (101), OnStart (117),
// OnOutputs (104), OnTerminate (107), OnQRX (119). A field holds actions separated by '|', each a word and
// its arguments separated by blanks:
//   in N, out N              set the port count ("port count N refused" when the host refuses it)
//   iport I WIDTH TYPE FT ATTR, oport I WIDTH TYPE     set input or output port I
//   size FIELD VALUE         write a size field;  modes N: size field 22 through the host's setter
//   sampleparam              sample time 0 from the second S-function parameter
//   handle                   the block handle, stored as TestModule_Handle in "global"
//   eval COMMAND, put WS NAME TEXT, get WS NAME     the workspace calls
//   param NAME               error "NAME=<text>", "NAME holds no text" or "NAME missing"
//   simmode                  error "simulation mode N"
//   error TEXT, raise TEXT, throw     error status, zupErrMsgTxt, an escaping std::runtime_error
//   crash                    ends the process (abort), as a module with a fatal defect would
//   text TEXT                the line writer, "\n" in TEXT standing for a line end
//   pair KIND NAME TYPE ROWS COLS V...     the pair writer, values stored as the kind says
//   nullpair KIND NAME TYPE ROWS COLS      the pair writer with a null value
// A writer answer other than 1 becomes the error "writer answered N"; writing while the host offers no
// writers becomes the error "no record writer".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "quonix/zup.h"
#include "quonix/zv.h"
#include "tarvel/host_block.h"

namespace {

char gError[1024];

// Always false: an error ends the field's list of actions.
bool setError(HostBlock* S, const std::string& text) {
    std::snprintf(gError, sizeof gError, "%s", text.c_str());
    (S->root != nullptr ? S->root : S)->errorStatus = gError;
    return false;
}

// The dialog field's text; false when the field is missing (missing set) or holds no text.
bool fieldText(HostBlock* S, const std::string& name, std::string& text, bool& missing) {
    const bool structure = S->numSFcnParams >= 1 && S->sfcnParams != nullptr;
    const int index = structure ? zvGetFieldNumber(S->sfcnParams[0], name.c_str()) : -1;
    missing = index < 0;
    char* copy = missing ? nullptr : zvArrayToString(get_struct_field_by_number(S->sfcnParams[0], 0, index));
    if (copy == nullptr) {
        return false;
    }
    text = copy;
    zvFree(copy);
    return true;
}

std::string trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string unescape(std::string text) {
    for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) {
        text.replace(at, 2, "\n");
    }
    return text;
}

// Appends value to bytes as a T.
template <class T>
void append(std::vector<unsigned char>& bytes, double value) {
    const T v = static_cast<T>(value);
    unsigned char raw[sizeof v];
    std::memcpy(raw, &v, sizeof v);
    bytes.insert(bytes.end(), raw, raw + sizeof v);
}

// Appends value to bytes stored as data type id type (0 double ... 8 boolean).
void store(std::vector<unsigned char>& bytes, int32_t type, double value) {
    using Append = void (*)(std::vector<unsigned char>&, double);
    static const Append byType[] = {append<double>,  append<float>,    append<int8_t>,
                                    append<uint8_t>, append<int16_t>,  append<uint16_t>,
                                    append<int32_t>, append<uint32_t>, append<uint8_t>};
    (type >= 0 && type <= 8 ? byType[type] : append<double>)(bytes, value);
}

bool checkWriter(HostBlock* S, int32_t result) {
    return result == 1 || setError(S, "writer answered " + std::to_string(result));
}

// "pair KIND NAME TYPE ROWS COLS V..." or, with nullValue, "nullpair KIND NAME TYPE ROWS COLS".
bool writePair(HostBlock* S, std::istringstream& in, bool nullValue) {
    int32_t kind = 0, type = 0, rows = 0, cols = 0;
    std::string name, text;
    in >> kind >> name >> type >> rows >> cols;
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
        text += (text.empty() ? "" : " ") + word;
    }
    std::vector<const char*> texts;
    std::vector<double> numbers;
    for (const std::string& word : words) {
        texts.push_back(word.c_str());
        numbers.push_back(std::strtod(word.c_str(), nullptr));
    }
    // Kinds 9 and 10 of a complex type: the first half of the values is the real part, the second the
    // imaginary part. Kinds 6 to 8 keep complex values interleaved.
    const std::size_t half = kind >= HB_VALUE_DTYPE_ML_VECT && (type & HB_DTYPE_COMPLEX_BIT) != 0
                                 ? numbers.size() / 2
                                 : numbers.size();
    std::vector<unsigned char> re, im;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        store(i < half ? re : im, type & 0xFFFF, numbers[i]);
    }
    const void* parts[2] = {re.data(), im.data()};
    const void* value = kind <= 1   ? static_cast<const void*>(text.c_str())
                        : kind == 2 ? static_cast<const void*>(texts.data())
                        : kind <= 5 ? static_cast<const void*>(numbers.data())
                        : kind <= 8 ? static_cast<const void*>(re.data())
                                    : static_cast<const void*>(parts);
    return checkWriter(S, S->writeRecordPair(S->recordContext, kind, name.c_str(),
                                             nullValue ? nullptr : value, type, rows, cols));
}

// Runs one action; false ends the field's list (an error was set).
bool runAction(HostBlock* S, const std::string& action) {
    std::istringstream in(action);
    std::string word, rest;
    in >> word;
    std::getline(in, rest);
    rest = trim(rest);
    std::istringstream args(rest);
    if (word == "in" || word == "out") {
        int32_t count = 0;
        args >> count;
        if ((word == "in" ? S->setNumInputPorts(S, count) : S->setNumOutputPorts(S, count)) == 0) {
            return setError(S, "port count " + std::to_string(count) + " refused");
        }
    } else if (word == "iport" || word == "oport") {
        int32_t port = 0, width = 0, type = 0, feedThrough = 0;
        uint32_t attributes = 0;
        args >> port >> width >> type >> feedThrough >> attributes;
        if (port < 0 || port >= S->sizes[word == "iport" ? HB_SIZE_NUM_INPUTS : HB_SIZE_NUM_OUTPUTS]) {
            return setError(S, "no port " + std::to_string(port));
        }
        if (word == "iport") {
            S->inputs[port] = HostInputPort{width, feedThrough, type, attributes};
        } else {
            S->outputs[port] = HostOutputPort{width, type};
        }
    } else if (word == "size") {
        int field = 0;
        int64_t value = 0;
        args >> field >> value;
        if (field >= 0 && field < HB_SIZE_FIELD_COUNT) {
            S->sizes[field] = static_cast<int32_t>(value);
        }
    } else if (word == "sampleparam") {
        S->sampleTime = S->numSFcnParams >= 2 ? zvGetScalar(S->sfcnParams[1]) : -99.0;
    } else if (word == "modes") {
        int32_t modes = 0;
        args >> modes;
        if (S->setNumModes == nullptr) {
            return setError(S, "no mode setter");
        }
        S->setNumModes(S, modes);
    } else if (word == "handle") {
        double handle = 0.0;
        if (S->callMethod != nullptr) {
            S->callMethod(S, HB_METHOD_GET_BLOCK_HANDLE, 0, &handle);
        }
        zvArray* value = zvCreateDoubleScalar(handle);
        zupPutVariable("global", "TestModule_Handle", value);
        zvDestroyArray(value);
    } else if (word == "eval") {
        zupEvalString(rest.c_str());
    } else if (word == "put" || word == "get") {
        std::string workspace, name, value;
        args >> workspace >> name;
        std::getline(args, value);
        zvArray* array = word == "put" ? zvCreateString(trim(value).c_str()) : nullptr;
        if (array != nullptr) {
            zupPutVariable(workspace.c_str(), name.c_str(), array);
        }
        zvDestroyArray(array != nullptr ? array : zupGetVariable(workspace.c_str(), name.c_str()));
    } else if (word == "param") {
        std::string text;
        bool missing = false;
        const bool found = fieldText(S, rest, text, missing);
        return setError(S, rest + (found ? "=" + text : missing ? " missing" : " holds no text"));
    } else if (word == "error") {
        return setError(S, rest);
    } else if (word == "raise") {
        zupErrMsgTxt(rest.c_str());
    } else if (word == "crash") {
        std::abort();
    } else if (word == "throw") {
        throw std::runtime_error("thrown by the test module");
    } else if (word == "simmode") {
        const int mode = S->modelInfo != nullptr ? S->modelInfo->simulationMode : -1;
        return setError(S, "simulation mode " + std::to_string(mode));
    } else if (word == "text" || word == "pair" || word == "nullpair") {
        if (S->writeRecordText == nullptr || S->writeRecordPair == nullptr) {
            return setError(S, "no record writer");
        }
        return word == "text" ? checkWriter(S, S->writeRecordText(S->recordContext, unescape(rest).c_str()))
                              : writePair(S, args, word == "nullpair");
    } else if (!word.empty()) {
        return setError(S, "unknown action '" + word + "'");
    }
    return true;
}

void runField(HostBlock* S, const char* field) {
    std::string actions;
    bool missing = false;
    if (fieldText(S, field, actions, missing)) {
        std::istringstream in(actions);
        for (std::string action; std::getline(in, action, '|') && runAction(S, trim(action));) {
        }
    }
}

void registration(int nLeft, zvArray* left[], int nRight, const zvArray* right[]) {
    if (nRight < 4 || zvGetM(right[1]) != 2 || zvGetPr(right[1]) == nullptr ||
        zvGetPr(right[1])[1] != HOST_BLOCK_VERSION) {
        zupErrMsgTxt("test module: no host structure");
    }
    auto* S = reinterpret_cast<HostBlock*>(static_cast<std::uintptr_t>(zvGetPr(right[1])[0]));
    S->sizes[HB_SIZE_VERSION] = HOST_BLOCK_VERSION;
    if (S->supportsRegistrationHook != 0 && S->callMethod != nullptr) {
        S->callMethod(S, HB_METHOD_REGISTRATION_HOOK, 1, nullptr);
    }
    runField(S, "OnSizes");
    if (nLeft >= 1) {
        left[0] = zvCreateDoubleMatrix(HB_SIZE_FIELD_COUNT, 1, zvREAL);
        for (int i = 0; i < HB_SIZE_FIELD_COUNT; ++i) {
            zvGetPr(left[0])[i] = S->sizes[i];
        }
    }
}

}  // namespace

// Registration for nLeft >= 0; otherwise a callback: the structure in left[1], the flag in right[3]. The
// callback slots of the structure stay empty: the host calls only this entry.
extern "C" __attribute__((visibility("default"))) void zupFunction(int nLeft, zvArray* left[], int nRight,
                                                                   const zvArray* right[]) {
    if (nLeft >= 0) {
        registration(nLeft, left, nRight, right);
        return;
    }
    static const std::pair<int, const char*> fields[] = {{HB_CALL_INITIALIZE_SAMPLE_TIMES, "OnSampleTimes"},
                                                         {HB_CALL_OUTPUTS, "OnOutputs"},
                                                         {HB_CALL_TERMINATE, "OnTerminate"},
                                                         {HB_CALL_START, "OnStart"},
                                                         {HB_CALL_QRX, "OnQRX"}};
    auto* S = reinterpret_cast<HostBlock*>(left[1]);
    const int flag = static_cast<int>(zvGetScalar(right[3]));
    for (const auto& [number, field] : fields) {
        if (number == flag) {
            runField(S, field);
            return;
        }
    }
    setError(S, "test module: unexpected flag " + std::to_string(flag));
}
