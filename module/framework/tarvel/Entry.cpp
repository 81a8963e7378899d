// The module's one export, zupFunction: the registration call that sets a block up in the host, the
// dispatch of every later callback by its flag, and the callbacks that hand each block to its object.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "framework/BaseFcn.hpp"
#include "framework/BlockHelpers.hpp"
#include "framework/ErrorBuffer.hpp"
#include "framework/HostInterface.hpp"
#include "quonix/zup.h"
#include "quonix/zv.h"
#include "services/Workspace.hpp"
#include "tarvel/host_block.h"

namespace korlix {
namespace {

constexpr const char* kSelfDescription = "ZUP level2 S-function \"korlix_qvblk\"";

// ---------------------------------------------------------------------------------------------------------
// Messages formatted at run time live in module-global buffers: the host reads them after the callback has
// returned. Each keeps its text until the same place reports again.

ErrorBuffer gSizesMessage;
ErrorBuffer gSampleTimesMessage;
ErrorBuffer gGuardMessage;

// Registration failures: formatted into a small stack buffer and raised; zupErrMsgTxt copies the text and
// does not return.
[[noreturn]] __attribute__((format(printf, 1, 2))) void raiseArgumentError(const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    zupErrMsgTxt(message);
}

// A double that is exactly a signed 32-bit integer; NaN and values outside the range never are.
bool asInt32(double value, int32_t& out) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0) || std::trunc(value) != value) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Callbacks.

// When the host's method dispatcher fails to answer the block handle, the block cannot be found: every
// callback reports that as the block's error rather than taking 0.0 for a handle and silently doing nothing
// (or, in mdlInitializeSizes, setting up an object under a handle that names no block).
constexpr const char* kNoHandle =
    "Cannot find the KORLIX block: the host call for its block handle (callMethod) failed";

bool handleOrReport(HostBlock* S, double& handle) {
    if (!getBlockHandle(S, handle)) {
        setErrorStatus(S, kNoHandle);
        return false;
    }
    return true;
}

// Every callback but mdlInitializeSizes runs only for a block whose object exists. When it does not (the
// block's size set-up reported an error and the host called again anyway) the callback does nothing: the
// block already carries its error, and a second text would only hide the first.
BaseFcn* findObject(HostBlock* S) {
    double handle = 0.0;
    return handleOrReport(S, handle) ? registry::find(handle) : nullptr;
}

void mdlInitializeSizes(HostBlock* S) {
    setWorkSizes(S, WorkVectors{});
    setSizeField(S, HB_SIZE_NUM_MODES, 0);

    double handle = 0.0;
    if (!handleOrReport(S, handle)) {
        return;
    }
    removeStaleBlocks();
    BaseFcn* obj = registry::find(handle);
    if (obj == nullptr) {
        obj = createBlock(handle, S);
        if (obj == nullptr) {
            return;
        }
    }

    for (int32_t i = 0; i < getNumSFcnParams(S); ++i) {
        setSFcnParamNotTunable(S, i);
    }

    std::string execSys;
    std::string errorText;
    int32_t sysType = kExecNone;
    queryExecutionSystem(handle, execSys, sysType, errorText);
    if (!errorText.empty()) {
        gSizesMessage.report(S, errorText);
        return;
    }
    obj->initializeSizes(S);
}

void mdlInitializeSampleTimes(HostBlock* S) {
    double handle = 0.0;
    if (!handleOrReport(S, handle)) {
        return;
    }
    BaseFcn* obj = registry::find(handle);
    if (obj == nullptr) {
        return;
    }
    obj->initializeSampleTimes(S);

    std::string execSys;
    std::string errorText;
    int32_t sysType = kExecNone;
    queryExecutionSystem(handle, execSys, sysType, errorText);
    if (!errorText.empty()) {
        gSampleTimesMessage.report(S, errorText);
        return;
    }
    if (sysType == kExecHost) {
        obj->initializeForHost(S);
    }
}

// The answers to the two callbacks whose features the module does not support, registered or flagged.
constexpr const char* kNoVarHit =
    "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
    "mdlGetTimeOfNextVarHit routine";
constexpr const char* kNoZeroCrossings =
    "To have nonsampled zero crossings, you must define MDL_ZERO_CROSSINGS and have a mdlZeroCrossings "
    "routine";

void mdlGetTimeOfNextVarHit(HostBlock* S) {
    setErrorStatus(S, kNoVarHit);
}

void mdlOutputs(HostBlock* S, int32_t tid) {
    if (BaseFcn* obj = findObject(S); obj != nullptr) {
        obj->outputs(S, tid);
    }
}

void mdlTerminate(HostBlock*) {}

void mdlZeroCrossings(HostBlock* S) {
    setErrorStatus(S, kNoZeroCrossings);
}

void mdlStart(HostBlock* S) {
    setOptions(S, HB_OPTION_STARTED);
    if (BaseFcn* obj = findObject(S); obj != nullptr) {
        obj->start(S);
    }
}

void mdlQRX(HostBlock* S) {
    if (BaseFcn* obj = findObject(S); obj != nullptr) {
        obj->writeQRXRecord(S);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The bare host structure of a command-line call and its own port setters.

template <typename Port>
int setBarePorts(HostBlock* S, int32_t n, int field, Port*& ports) {
    if (n < 0) {
        return 0;
    }
    Port* records = nullptr;
    if (n >= 1) {
        records = static_cast<Port*>(zvCalloc(static_cast<std::size_t>(n), sizeof(Port)));
        if (records == nullptr) {
            return 0;  // out of host memory: refuse the count and change nothing
        }
    }
    changeFlags(S, 0, HB_FLAG_PORTS_SET);
    setSizeField(S, field, n);
    ports = records;
    return 1;
}

int bareSetNumInputPorts(HostBlock* S, int32_t n) {
    return setBarePorts(S, n, HB_SIZE_NUM_INPUTS, S->inputs);
}
int bareSetNumOutputPorts(HostBlock* S, int32_t n) {
    return setBarePorts(S, n, HB_SIZE_NUM_OUTPUTS, S->outputs);
}

void* hostAllocate(std::size_t n, std::size_t size) {
    void* memory = zvCalloc(n, size);
    if (memory == nullptr) {
        raiseArgumentError("%s could not allocate its host structure", kSelfDescription);
    }
    return memory;
}

// Built from host memory, which the host releases when it shuts down; the module never frees it.
HostBlock* makeBareHostBlock(int nRight, const zvArray* right[]) {
    auto* S = static_cast<HostBlock*>(hostAllocate(1, sizeof(HostBlock)));
    S->name = kSFunctionName;
    S->root = S;
    S->setNumInputPorts = &bareSetNumInputPorts;
    S->setNumOutputPorts = &bareSetNumOutputPorts;
    const int32_t count = nRight >= 5 ? nRight - 4 : 0;
    S->numSFcnParams = count;
    if (count > 0) {
        const auto n = static_cast<std::size_t>(count);
        auto* params = static_cast<const zvArray**>(hostAllocate(n, sizeof(const zvArray*)));
        for (std::size_t i = 0; i < n; ++i) {
            params[i] = right[4 + i];
        }
        S->sfcnParams = params;
        S->sfcnParamAttributes = static_cast<uint32_t*>(hostAllocate(n, sizeof(uint32_t)));
    }
    return S;
}

// ---------------------------------------------------------------------------------------------------------
// Registration call.

// Argument 1 of a call from the host: 2 rows, element 0 the structure's address (stored as its numeric
// value), element 1 the structure version.
HostBlock* hostBlockFromArgument(const zvArray* arg) {
    if (arg == nullptr || zvGetM(arg) != 2) {
        return nullptr;
    }
    const double* data = zvGetPr(arg);
    if (data == nullptr || data[1] != static_cast<double>(HOST_BLOCK_VERSION)) {
        return nullptr;
    }
    if (!(data[0] > 0.0 && data[0] < 18446744073709551616.0)) {
        return nullptr;  // no address at all: a command-line call after all
    }
    return reinterpret_cast<HostBlock*>(static_cast<uintptr_t>(data[0]));
}

void registerCallbacks(HostBlock* S) {
    S->mdlInitializeSizes = &mdlInitializeSizes;
    S->mdlInitializeSampleTimes = &mdlInitializeSampleTimes;
    S->mdlGetTimeOfNextVarHit = &mdlGetTimeOfNextVarHit;
    S->mdlOutputs = &mdlOutputs;
    S->mdlTerminate = &mdlTerminate;
    S->mdlZeroCrossings = &mdlZeroCrossings;
    S->mdlStart = &mdlStart;
    S->mdlQRX = &mdlQRX;
}

// The size vector is the answer of the registration call: when the host cannot create it, the call raises
// like every other registration failure, instead of returning with an empty result slot the host would read
// as no sizes at all.
void storeSizeVector(HostBlock* S, zvArray* left[]) {
    HostArray sizes(left != nullptr ? zvCreateDoubleMatrix(HB_SIZE_FIELD_COUNT, 1, zvREAL) : nullptr);
    if (left != nullptr && sizes == nullptr) {
        raiseArgumentError("%s could not create its size vector (zvCreateDoubleMatrix failed)",
                           kSelfDescription);
    }
    double* out = sizes != nullptr ? zvGetPr(sizes.get()) : nullptr;
    if (out != nullptr) {
        for (int i = 0; i < HB_SIZE_FIELD_COUNT; ++i) {
            out[i] = static_cast<double>(S->sizes[i]);
        }
    }
    setOptions(S, getOptions(S) | HB_OPTION_REGISTERED);
    if (out != nullptr) {
        for (int i = HB_SIZE_UNSIGNED_FIRST; i <= HB_SIZE_UNSIGNED_LAST; ++i) {
            out[i] = static_cast<double>(static_cast<uint32_t>(S->sizes[i]));
        }
        out[HB_SIZE_OPTIONS] = static_cast<double>(getOptions(S));
    }
    if (left != nullptr) {
        left[0] = sizes.release();  // the host owns the result slot
    }
}

void registration(int nLeft, zvArray* left[], int nRight, const zvArray* right[]) {
    if (nRight < 4 || right == nullptr) {
        raiseArgumentError("%s must be called with at least 4 right hand arguments", kSelfDescription);
    }
    if (nLeft > 1) {
        raiseArgumentError("%s called with too many left hand arguments", kSelfDescription);
    }
    const zvArray* flagArg = right[3];
    int32_t flag = 0;
    if (flagArg == nullptr || zvGetM(flagArg) * zvGetN(flagArg) != 1 || !zvIsNumeric(flagArg) ||
        zvIsComplex(flagArg) || !asInt32(zvGetScalar(flagArg), flag)) {
        raiseArgumentError("The 4th right hand argument, FLAG, passed to %s must be an integer",
                           kSelfDescription);
    }
    if (flag != HB_CALL_REGISTRATION) {
        raiseArgumentError("Invalid flag passed to %s", kSelfDescription);
    }

    HostBlock* S = hostBlockFromArgument(right[1]);
    if (S != nullptr) {
        const char* name = S->name != nullptr ? S->name : "";
        if (std::strcmp(name, kSFunctionName) != 0) {
            raiseArgumentError(
                "S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME %s\", whereas name of "
                "the S-function ZUP file is \"%s\". The source needs to be updated",
                kSFunctionName, name);
        }
        registerCallbacks(S);
    } else {
        S = makeBareHostBlock(nRight, right);
    }

    setSizeField(S, HB_SIZE_VERSION, HOST_BLOCK_VERSION);
    if (S->supportsRegistrationHook != 0 && S->callMethod != nullptr) {
        S->callMethod(S, HB_METHOD_REGISTRATION_HOOK, 1, nullptr);
    }
    mdlInitializeSizes(S);
    storeSizeVector(S, left);
}

// ---------------------------------------------------------------------------------------------------------
// Callback dispatch.

struct UnexpectedCall {
    int32_t flag;
    const char* message;
};

// Flags whose only answer is an error: optional host methods this module never provides, and the two
// callbacks whose features it does not support.
const UnexpectedCall kUnexpectedCalls[] = {
    {HB_CALL_GET_TIME_OF_NEXT_VAR_HIT, kNoVarHit},
    {HB_CALL_ZERO_CROSSINGS, kNoZeroCrossings},
    {HB_CALL_SET_WORK_WIDTHS, "Unexpected call to mdlSetWorkWidths"},
    {HB_CALL_CHECK_PARAMETERS, "Unexpected call to mdlCheckParameters"},
    {HB_CALL_SET_INPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetInputPortDataType"},
    {HB_CALL_SET_OUTPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetOutputPortDataType"},
    {HB_CALL_SET_INPUT_PORT_WIDTH, "Unexpected call to mdlSetInputPortWidth"},
    {HB_CALL_SET_OUTPUT_PORT_WIDTH, "Unexpected call to mdlSetOutputPortWidth"},
    {HB_CALL_SET_INPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetInputPortComplexSignal"},
    {HB_CALL_SET_OUTPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetOutputPortComplexSignal"},
    {HB_CALL_SET_INPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetInputPortSampleTime"},
    {HB_CALL_SET_OUTPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetOutputPortSampleTime"},
    {HB_CALL_SET_INPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetInputPortDimensionInfo"},
    {HB_CALL_SET_OUTPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetOutputPortDimensionInfo"},
    {HB_CALL_SET_INPUT_PORT_FRAME_DATA, "Unexpected call to mdlSetInputPortFrameData"},
    {HB_CALL_SET_DEFAULT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetDefaultPortDimensionInfo"},
    {HB_CALL_SET_DEFAULT_PORT_DATA_TYPES, "Unexpected call to mdlSetDefaultPortDataTypes"},
    {HB_CALL_SET_DEFAULT_PORT_COMPLEX_SIGNALS, "Unexpected call to mdlSetDefaultPortComplexSignals"},
    {HB_CALL_INITIALIZE_PROPAGATION_PASS, "Unexpected call to mdlInitializePropagationPass"},
    {HB_CALL_GET_SIM_STATE, "Unexpected call to mdlGetSimState (MDL_SIM_STATE not defined)"},
    {HB_CALL_SET_SIM_STATE, "Unexpected call to mdlSetSimState (MDL_SIM_STATE not defined)"},
    {HB_CALL_SET_INPUT_PORT_SYMBOLIC_DIMENSIONS, "Unexpected call to mdlSetInputPortSymbolicDimensions"},
    {HB_CALL_SET_OUTPUT_PORT_SYMBOLIC_DIMENSIONS, "Unexpected call to mdlSetOutputPortSymbolicDimensions"},
};

constexpr const char* kInvalidFlag = "Invalid flag encountered in tarvel";

// The flag of a callback call: the first element of argument 3, truncated. A flag that cannot be read, or
// does not fit 32 bits, answers -1, which no row knows.
int32_t callbackFlag(int nRight, const zvArray* right[]) {
    if (right == nullptr || nRight < 4 || right[3] == nullptr) {
        return -1;
    }
    const double* data = zvGetPr(right[3]);
    if (data == nullptr || !(data[0] > -2147483649.0 && data[0] < 2147483648.0)) {
        return -1;
    }
    return static_cast<int32_t>(data[0]);
}

void dispatch(zvArray* left[], int nRight, const zvArray* right[]) {
    if (left == nullptr || left[1] == nullptr) {
        return;  // no host structure: nobody to report to
    }
    HostBlock* S = reinterpret_cast<HostBlock*>(left[1]);
    const int32_t flag = callbackFlag(nRight, right);
    switch (flag) {
        case HB_CALL_INITIALIZE_SAMPLE_TIMES:
            mdlInitializeSampleTimes(S);
            return;
        case HB_CALL_OUTPUTS:
            mdlOutputs(S, getSizeField(S, HB_SIZE_TASK_INDICATOR) == HB_SINGLE_TASK ? HB_SINGLE_TASK : 0);
            return;
        case HB_CALL_TERMINATE:
            mdlTerminate(S);
            return;
        case HB_CALL_START:
            if (S->mdlStart != nullptr) {
                S->mdlStart(S);
            } else {
                setErrorStatus(S, "Unexpected call to mdlStart");
            }
            return;
        case HB_CALL_QRX:
            if (S->mdlQRX != nullptr) {
                S->mdlQRX(S);
            } else {
                setErrorStatus(S, "Unexpected call to mdlQRX");
            }
            return;
        default:
            break;
    }
    for (const UnexpectedCall& row : kUnexpectedCalls) {
        if (row.flag == flag) {
            setErrorStatus(S, row.message);
            return;
        }
    }
    setErrorStatus(S, kInvalidFlag);
}

}  // namespace
}  // namespace korlix

// The only symbol the module exports. A failure of the standard library inside the module (out of memory,
// for one) must not cross into the host as a foreign exception: it becomes the block's error, or the raised
// error of a registration call. The host's own unwinding from zupErrMsgTxt is no std::exception and passes.
extern "C" __attribute__((visibility("default"))) void zupFunction(int nLeft, zvArray* left[], int nRight,
                                                                   const zvArray* right[]) {
    try {
        if (nLeft >= 0) {
            korlix::registration(nLeft, left, nRight, right);
        } else {
            korlix::dispatch(left, nRight, right);
        }
    } catch (const std::exception& e) {
        const std::string text = std::string("KORLIX internal error: ") + e.what();
        if (nLeft >= 0 || left == nullptr || left[1] == nullptr) {
            korlix::raiseArgumentError("%s", text.c_str());
        }
        korlix::gGuardMessage.report(reinterpret_cast<HostBlock*>(left[1]), text);
    }
}
