// The module's thin wrapper over the host's per-block structure. Every block class and service reaches the
// host through these functions only, so that the field layout of HostBlock is known in one place.
#pragma once

#include <cstdint>
#include <memory>

#include "quonix/zv.h"
#include "tarvel/host_block.h"

namespace korlix {

inline constexpr const char* kSFunctionName = "korlix_qvblk";

// ---- host memory ----
// Every array the module creates or receives as a copy, and every text zvArrayToString gives, is owned by one
// of these from the moment it exists: a host call may raise (zupErrMsgTxt unwinds), and the release must
// happen on that way out as well.
struct HostArrayRelease {
    void operator()(zvArray* array) const { zvDestroyArray(array); }
};
using HostArray = std::unique_ptr<zvArray, HostArrayRelease>;
struct HostTextRelease {
    void operator()(char* text) const { zvFree(text); }
};
using HostText = std::unique_ptr<char, HostTextRelease>;

// ---- size record ----
inline int32_t getSizeField(const HostBlock* S, int field) {
    return S->sizes[field];
}
// Every size field is set through this one function, named by its HostBlockSizeField index.
inline void setSizeField(HostBlock* S, int field, int32_t value) {
    S->sizes[field] = value;
}

// Size field 22 through the host's own setter, when the structure offers one; nothing otherwise.
inline void setNumModesThroughHost(HostBlock* S, int32_t n) {
    if (S->setNumModes != nullptr) {
        S->setNumModes(S, n);
    }
}
inline int32_t getNumInputPorts(const HostBlock* S) {
    return S->sizes[HB_SIZE_NUM_INPUTS];
}
inline int32_t getNumOutputPorts(const HostBlock* S) {
    return S->sizes[HB_SIZE_NUM_OUTPUTS];
}

inline uint32_t getOptions(const HostBlock* S) {
    return static_cast<uint32_t>(S->sizes[HB_SIZE_OPTIONS]);
}
inline void setOptions(HostBlock* S, uint32_t options) {
    S->sizes[HB_SIZE_OPTIONS] = static_cast<int32_t>(options);
}
inline uint32_t getFlags(const HostBlock* S) {
    return static_cast<uint32_t>(S->sizes[HB_SIZE_FLAGS]);
}
inline void setFlags(HostBlock* S, uint32_t flags) {
    S->sizes[HB_SIZE_FLAGS] = static_cast<int32_t>(flags);
}
// Clears the bits of clearMask, then sets those of setMask.
inline void changeFlags(HostBlock* S, uint32_t clearMask, uint32_t setMask) {
    setFlags(S, (getFlags(S) & ~clearMask) | setMask);
}

// ---- S-function parameters ----
inline int32_t getNumSFcnParams(const HostBlock* S) {
    return S->numSFcnParams;
}
inline const zvArray* getSFcnParam(const HostBlock* S, int32_t index) {
    return (index >= 0 && index < S->numSFcnParams && S->sfcnParams != nullptr) ? S->sfcnParams[index]
                                                                                : nullptr;
}
// Not tunable: set bit 0, clear the two tunable bits.
inline void setSFcnParamNotTunable(HostBlock* S, int32_t index) {
    if (S->sfcnParamAttributes != nullptr && index >= 0 && index < S->numSFcnParams) {
        S->sfcnParamAttributes[index] =
            (S->sfcnParamAttributes[index] & ~uint32_t{HB_PARAM_TUNABLE | HB_PARAM_SIM_ONLY_TUNABLE}) |
            HB_PARAM_NOT_TUNABLE;
    }
}

// ---- ports ----
inline bool setNumInputPorts(HostBlock* S, int32_t n) {
    return S->setNumInputPorts(S, n) != 0;
}
inline bool setNumOutputPorts(HostBlock* S, int32_t n) {
    return S->setNumOutputPorts(S, n) != 0;
}
inline void setInputPortWidth(HostBlock* S, int32_t port, int32_t width) {
    S->inputs[port].width = width;
}
inline void setInputPortDataType(HostBlock* S, int32_t port, int32_t id) {
    S->inputs[port].dataTypeId = id;
}
inline void setInputPortDirectFeedThrough(HostBlock* S, int32_t port, bool on) {
    S->inputs[port].directFeedThrough = on ? 1 : 0;
}
// Marks an input with the attribute bit HB_INPUT_ATTRIBUTE_MARKED.
inline void markInputPort(HostBlock* S, int32_t port) {
    S->inputs[port].attributes |= HB_INPUT_ATTRIBUTE_MARKED;
}
inline void setOutputPortWidth(HostBlock* S, int32_t port, int32_t width) {
    S->outputs[port].width = width;
}
inline void setOutputPortDataType(HostBlock* S, int32_t port, int32_t id) {
    S->outputs[port].dataTypeId = id;
}

// ---- sample time ----
inline void setSampleTime(HostBlock* S, double period, double offset) {
    S->sampleTime = period;
    S->sampleOffset = offset;
}

// ---- model information ----
inline bool isSizesOnlyMode(const HostBlock* S) {
    return S->modelInfo != nullptr && S->modelInfo->simulationMode == HB_SIM_MODE_SIZES_ONLY;
}

// ---- block identity and errors ----
// The block handle through method 21; 0.0 when the structure has no method dispatcher. False when the
// dispatcher answers failure: then there is no handle, and 0.0 must not be taken for one.
inline bool getBlockHandle(HostBlock* S, double& handle) {
    handle = 0.0;
    return S->callMethod == nullptr || S->callMethod(S, HB_METHOD_GET_BLOCK_HANDLE, 0, &handle) != 0;
}
// The same for callers that turn a missing handle into a failed query of their own (0.0 names no block).
inline double getBlockHandle(HostBlock* S) {
    double handle = 0.0;
    return getBlockHandle(S, handle) ? handle : 0.0;
}
// The text must outlive the callback: a string literal or a module-global buffer.
inline void setErrorStatus(HostBlock* S, const char* text) {
    HostBlock* root = S->root != nullptr ? S->root : S;
    root->errorStatus = text;
}

}  // namespace korlix
