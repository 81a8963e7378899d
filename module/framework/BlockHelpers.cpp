// Helpers shared by the block classes.
#include "framework/BlockHelpers.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "services/Params.hpp"

namespace korlix {

void ErrorBuffer::report(HostBlock* S, const std::string& text) {
    const std::size_t length = std::min(text.size(), kSize - 1);
    std::memmove(buffer_, text.data(), length);
    buffer_[length] = '\0';
    setErrorStatus(S, buffer_);
}

void ErrorBuffer::reportf(HostBlock* S, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buffer_, kSize, format, ap);
    va_end(ap);
    setErrorStatus(S, buffer_);
}

bool readParams(HostBlock* S, std::initializer_list<ParamRead> reads, std::string& errorText) {
    // An error text that is already set on entry is a failure still to be reported: nothing is read, so
    // that it is neither hidden nor followed by reads the caller did not expect.
    if (!errorText.empty()) {
        return false;
    }
    for (const ParamRead& read : reads) {
        getSFcnParamString(S, read.name, *read.value, errorText);
        if (!errorText.empty()) {
            return false;
        }
    }
    return true;
}

bool readParamsOrReport(HostBlock* S, std::initializer_list<ParamRead> reads, ErrorBuffer& buffer) {
    std::string errorText;
    if (readParams(S, reads, errorText)) {
        return true;
    }
    buffer.report(S, errorText);
    return false;
}

std::string formatRecord(std::initializer_list<RecordLine> lines) {
    std::string record = "KORLIXSFunParameters {\n";
    for (const RecordLine& line : lines) {
        record += line.indent != nullptr ? line.indent : "";
        record += line.key != nullptr ? line.key : "";
        record.append(static_cast<std::size_t>(std::max(line.blanks, 0)), ' ');
        if (line.quoted) {
            record += '"';
            record += line.value;
            record += '"';
        } else {
            record += line.value;
        }
        record += '\n';
    }
    record += "      }\n";
    return record;
}

bool checkTwoParams(HostBlock* S, ErrorBuffer& buffer) {
    setExpectedNumSFcnParams(S, 2);
    const int32_t passed = getNumSFcnParams(S);
    if (passed != 2) {
        buffer.reportf(S, "2 input args expected, %d passed", static_cast<int>(passed));
        return false;
    }
    return true;
}

bool isParamStructEmpty(HostBlock* S) {
    const zvArray* params = getSFcnParam(S, 0);
    return params == nullptr || zvIsEmpty(params) != 0;
}

void closingSetup(HostBlock* S, WorkVectors work, ModesField modes) {
    setNumContStates(S, 0);
    setNumDiscStates(S, 0);
    setNumSampleTimes(S, 1);
    setNumIWork(S, work.iwork);
    setNumRWork(S, work.rwork);
    setNumPWork(S, work.pwork);
    setNumNonsampledZCs(S, 0);
    if (modes != ModesField::Direct) {
        setNumModesThroughHost(S, 0);
    }
    if (modes != ModesField::SetterOnly) {
        setNumModes(S, 0);
    }
    setSFcnParamNotTunable(S, 0);
    setSFcnParamNotTunable(S, 1);
    changeFlags(S, 0x680000u, 0x100000u);
    setOptions(S, 0x280020u);
}

bool checkListCovers(HostBlock* S, ErrorBuffer& buffer, const char* entry, std::size_t have, uint32_t count) {
    if (have >= count) {
        return true;
    }
    buffer.reportf(
        S,
        "Cannot write %s: the block holds %zu values but its signal count is %u; initialise the block again",
        entry != nullptr ? entry : "", have, static_cast<unsigned>(count));
    return false;
}

}  // namespace korlix
