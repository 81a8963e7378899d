// A small module for testing the host and the tool before (and beside) the real block library. It registers
// its callbacks like a real module and then does what the block's dialog fields tell it, one field per
// callback: OnSizes (registration), OnSampleTimes (101), OnStart (117), OnOutputs (104), OnTerminate (107),
// OnQRX (119). A field holds actions separated by '|', each a word and its arguments separated by blanks:
//
//   in N / out N                  set the port count (a refused count becomes the error "port count N
//   refused") iport I WIDTH TYPE FT ATTR    set input port I;  oport I WIDTH TYPE   set output port I size
//   FIELD VALUE              write a size field;  sample PERIOD OFFSET   set sample time 0 sampleparam sample
//   time 0 from the second S-function parameter modes N                       size field 22 through the
//   host's setter ("no mode setter" without one) handle                        get the block handle and store
//   it as TestModule_Handle in "global" eval COMMAND                  zupEvalString with the rest of the
//   action put WS NAME TEXT / putnum WS NAME NUMBER / get WS NAME    workspace calls param NAME error status
//   "NAME=<text>", "NAME holds no text" or "NAME missing" error TEXT / raise TEXT       set the error status
//   / raise TEXT with zupErrMsgTxt throw                         let a std::runtime_error escape text TEXT
//   the line writer, "\n" in TEXT standing for a line end pair KIND NAME TYPE ROWS COLS V...   the pair
//   writer with values built as the kind says nullpair KIND NAME TYPE ROWS COLS    the pair writer with a
//   null value
//
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

void setError(HostBlock* S, const std::string& text) {
    std::snprintf(gError, sizeof gError, "%s", text.c_str());
    (S->root != nullptr ? S->root : S)->errorStatus = gError;
}

// The dialog field's text, or false when the parameter structure has no text field of that name.
bool fieldText(HostBlock* S, const char* name, std::string& text, bool& missing) {
    missing = true;
    if (S->numSFcnParams < 1 || S->sfcnParams == nullptr) {
        return false;
    }
    int index = zvGetFieldNumber(S->sfcnParams[0], name);
    if (index < 0) {
        return false;
    }
    missing = false;
    char* copy = zvArrayToString(get_struct_field_by_number(S->sfcnParams[0], 0, index));
    if (copy == nullptr) {
        return false;
    }
    text = copy;
    zvFree(copy);
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    std::size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::size_t elementSize(int32_t type) {
    static const std::size_t sizes[] = {8, 4, 1, 1, 2, 2, 4, 4, 1};
    return type >= 0 && type <= 8 ? sizes[type] : 8;
}

// Appends value to bytes stored as data type type.
void store(std::vector<unsigned char>& bytes, int32_t type, double value) {
    unsigned char buffer[8];
    switch (type) {
        case 1: {
            float v = static_cast<float>(value);
            std::memcpy(buffer, &v, 4);
            break;
        }
        case 2: {
            int8_t v = static_cast<int8_t>(value);
            std::memcpy(buffer, &v, 1);
            break;
        }
        case 3:
        case 8: {
            uint8_t v = static_cast<uint8_t>(value);
            std::memcpy(buffer, &v, 1);
            break;
        }
        case 4: {
            int16_t v = static_cast<int16_t>(value);
            std::memcpy(buffer, &v, 2);
            break;
        }
        case 5: {
            uint16_t v = static_cast<uint16_t>(value);
            std::memcpy(buffer, &v, 2);
            break;
        }
        case 6: {
            int32_t v = static_cast<int32_t>(value);
            std::memcpy(buffer, &v, 4);
            break;
        }
        case 7: {
            uint32_t v = static_cast<uint32_t>(value);
            std::memcpy(buffer, &v, 4);
            break;
        }
        default:
            std::memcpy(buffer, &value, 8);
            break;
    }
    bytes.insert(bytes.end(), buffer, buffer + elementSize(type));
}

bool checkWriter(HostBlock* S, int32_t result) {
    if (result != 1) {
        setError(S, "writer answered " + std::to_string(result));
        return false;
    }
    return true;
}

// "pair KIND NAME TYPE ROWS COLS V..." (values == nullptr: nullpair).
bool writePair(HostBlock* S, std::istringstream& in, bool nullValue) {
    int32_t kind = 0, type = 0, rows = 0, cols = 0;
    std::string name;
    in >> kind >> name >> type >> rows >> cols;
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    if (nullValue) {
        return checkWriter(
            S, S->writeRecordPair(S->recordContext, kind, name.c_str(), nullptr, type, rows, cols));
    }
    std::string text;
    std::vector<const char*> texts;
    std::vector<double> doubles;
    std::vector<unsigned char> re, im;
    const void* value = nullptr;
    const void* parts[2] = {nullptr, nullptr};
    for (const std::string& word : words) {
        texts.push_back(word.c_str());
        doubles.push_back(std::strtod(word.c_str(), nullptr));
    }
    int32_t element = type & 0xFFFF;
    bool complex = (type & 0x10000) != 0;
    if (kind == 0 || kind == 1) {
        for (const std::string& word : words) {
            text += (text.empty() ? "" : " ") + word;
        }
        value = text.c_str();
    } else if (kind == 2) {
        value = texts.data();
    } else if (kind >= 3 && kind <= 5) {
        value = doubles.data();
    } else if (kind >= 6 && kind <= 8) {
        for (double d : doubles) {
            store(re, element, d);
        }
        value = re.data();
    } else {
        // Kinds 9 and 10: the first half of the values is the real part, the second the imaginary part.
        std::size_t half = complex ? doubles.size() / 2 : doubles.size();
        for (std::size_t i = 0; i < doubles.size(); ++i) {
            store(i < half ? re : im, element, doubles[i]);
        }
        parts[0] = re.data();
        parts[1] = im.data();
        value = parts;
    }
    return checkWriter(S, S->writeRecordPair(S->recordContext, kind, name.c_str(), value, type, rows, cols));
}

void setPorts(HostBlock* S, bool inputs, int32_t count) {
    int answer = inputs ? S->setNumInputPorts(S, count) : S->setNumOutputPorts(S, count);
    if (answer == 0) {
        setError(S, "port count " + std::to_string(count) + " refused");
    }
}

// Runs one action; false ends the field's list (an error was set).
bool runAction(HostBlock* S, const std::string& action) {
    std::istringstream in(action);
    std::string word;
    in >> word;
    std::string rest;
    std::getline(in, rest);
    rest = trim(rest);
    std::istringstream args(rest);
    if (word == "in" || word == "out") {
        int32_t count = 0;
        args >> count;
        setPorts(S, word == "in", count);
    } else if (word == "iport" || word == "oport") {
        int32_t port = 0, width = 0, type = 0, feedThrough = 0;
        uint32_t attributes = 0;
        args >> port >> width >> type >> feedThrough >> attributes;
        int32_t count = S->sizes[word == "iport" ? HB_SIZE_NUM_INPUTS : HB_SIZE_NUM_OUTPUTS];
        if (port < 0 || port >= count) {
            setError(S, "no port " + std::to_string(port));
        } else if (word == "iport") {
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
    } else if (word == "sample") {
        args >> S->sampleTime >> S->sampleOffset;
    } else if (word == "sampleparam") {
        S->sampleTime = S->numSFcnParams >= 2 ? zvGetScalar(S->sfcnParams[1]) : -99.0;
    } else if (word == "modes") {
        int32_t modes = 0;
        args >> modes;
        if (S->setNumModes == nullptr) {
            setError(S, "no mode setter");
        } else {
            S->setNumModes(S, modes);
        }
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
    } else if (word == "put" || word == "putnum") {
        std::string workspace, name, value;
        args >> workspace >> name;
        std::getline(args, value);
        value = trim(value);
        zvArray* array = word == "put" ? zvCreateString(value.c_str())
                                       : zvCreateDoubleScalar(std::strtod(value.c_str(), nullptr));
        zupPutVariable(workspace.c_str(), name.c_str(), array);
        zvDestroyArray(array);
    } else if (word == "get") {
        std::string workspace, name;
        args >> workspace >> name;
        zvDestroyArray(zupGetVariable(workspace.c_str(), name.c_str()));
    } else if (word == "param") {
        std::string text;
        bool missing = false;
        if (fieldText(S, rest.c_str(), text, missing)) {
            setError(S, rest + "=" + text);
        } else {
            setError(S, rest + (missing ? " missing" : " holds no text"));
        }
        return false;
    } else if (word == "error") {
        setError(S, rest);
        return false;
    } else if (word == "raise") {
        zupErrMsgTxt(rest.c_str());
    } else if (word == "throw") {
        throw std::runtime_error("thrown by the test module");
    } else if (word == "simmode") {
        setError(S, "simulation mode " +
                        std::to_string(S->modelInfo != nullptr ? S->modelInfo->simulationMode : -1));
        return false;
    } else if ((word == "text" || word == "pair" || word == "nullpair") &&
               (S->writeRecordText == nullptr || S->writeRecordPair == nullptr)) {
        setError(S, "no record writer");
        return false;
    } else if (word == "text") {
        return checkWriter(S, S->writeRecordText(S->recordContext, unescape(rest).c_str()));
    } else if (word == "pair" || word == "nullpair") {
        return writePair(S, args, word == "nullpair");
    } else if (!word.empty()) {
        setError(S, "unknown action '" + word + "'");
        return false;
    }
    return true;
}

void runField(HostBlock* S, const char* field) {
    std::string actions;
    bool missing = false;
    if (!fieldText(S, field, actions, missing)) {
        return;
    }
    for (const std::string& action : split(actions, '|')) {
        if (!runAction(S, trim(action))) {
            return;
        }
    }
}

void mdlInitializeSampleTimes(HostBlock* S) {
    runField(S, "OnSampleTimes");
}
void mdlOutputs(HostBlock* S, int32_t) {
    runField(S, "OnOutputs");
}
void mdlTerminate(HostBlock* S) {
    runField(S, "OnTerminate");
}
void mdlStart(HostBlock* S) {
    runField(S, "OnStart");
}
void mdlQRX(HostBlock* S) {
    runField(S, "OnQRX");
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
    S->mdlInitializeSampleTimes = &mdlInitializeSampleTimes;
    S->mdlOutputs = &mdlOutputs;
    S->mdlTerminate = &mdlTerminate;
    S->mdlStart = &mdlStart;
    S->mdlQRX = &mdlQRX;
    runField(S, "OnSizes");
    if (nLeft >= 1) {
        left[0] = zvCreateDoubleMatrix(HB_SIZE_FIELD_COUNT, 1, zvREAL);
        for (int i = 0; i < HB_SIZE_FIELD_COUNT; ++i) {
            zvGetPr(left[0])[i] = S->sizes[i];
        }
    }
}

void dispatch(HostBlock* S, int flag) {
    switch (flag) {
        case 101:
            S->mdlInitializeSampleTimes(S);
            break;
        case 104:
            S->mdlOutputs(S, 0);
            break;
        case 107:
            S->mdlTerminate(S);
            break;
        case 117:
            S->mdlStart(S);
            break;
        case 119:
            S->mdlQRX(S);
            break;
        default:
            setError(S, "test module: unexpected flag " + std::to_string(flag));
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void zupFunction(int nLeft, zvArray* left[], int nRight,
                                                                   const zvArray* right[]) {
    if (nLeft >= 0) {
        registration(nLeft, left, nRight, right);
        return;
    }
    dispatch(reinterpret_cast<HostBlock*>(left[1]), static_cast<int>(zvGetScalar(right[3])));
}
