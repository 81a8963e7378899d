// Questions about one block answered by the host's command language. Every query puts the block handle into
// the global workspace, evaluates one command, reads its result variables from the caller workspace and
// evaluates a clean-up command that removes all of them again. The variable names are fixed, which is safe
// because the host calls the module from one thread at a time.
#include "services/Workspace.hpp"

#include "quonix/zup.h"
#include "quonix/zv.h"

namespace korlix {

namespace {

constexpr const char* kMaskTypeQuery =
    "global KorLix_BlockHandle;KorLix_BlockMaskType=get_param(KorLix_BlockHandle,'MaskType');";
constexpr const char* kMaskTypeCleanup = "clear global KorLix_BlockHandle; clear KorLix_BlockMaskType;";

constexpr const char* kExecSysQuery =
    "global KorLix_BlockHandle;"
    "[KorLix_ErrMsg,KorLix_ExecSys,KorLix_SysType]=korlix_get_execsys2(KorLix_BlockHandle);";
constexpr const char* kExecSysCleanup =
    "clear global KorLix_BlockHandle;clear KorLix_ExecSys KorLix_SysType KorLix_ErrMsg;";

constexpr const char* kIsHandleQuery =
    "global KorLix_BlockHandle;KorLix_IsHandle=ishandle(KorLix_BlockHandle);";
constexpr const char* kIsHandleCleanup = "clear global KorLix_BlockHandle;clear KorLix_IsHandle;";

constexpr const char* kExecSysFailed =
    "Error in execution of eval string: \"korlix_get_execsys2(KorLix_BlockHandle)\"!";
constexpr const char* kUnknownSysType =
    "Unknown KORLIX system type found (must be \"wqm\", \"host\", \"opalrt\" or  \"kvd\")!";

// Steps 1 and 2 of every query: the handle as a global variable, then the query command. The command's
// status is not examined: a failed command simply leaves its result variables unset.
void putHandleAndEvaluate(double handle, const char* query) {
    zvArray* value = zvCreateDoubleScalar(handle);
    zupPutVariable("global", "KorLix_BlockHandle", value);
    zvDestroyArray(value);
    zupEvalString(query);
}

struct SysTypeRow {
    const char* text;
    int32_t code;
};
// Compared in this order, as whole texts.
const SysTypeRow kSysTypes[] = {
    {"wqm", kExecWqm},
    {"host", kExecHost},
    {"opalrt", kExecOpalrt},
    {"kvd", kExecKvd},
};

}  // namespace

bool getCallerVariableString(std::string name, std::string& value) {
    zvArray* copy = zupGetVariable("caller", name.c_str());
    if (copy == nullptr) {
        return false;
    }
    // A variable that holds no text answers false, like a missing one.
    char* text = zvArrayToString(copy);
    zvDestroyArray(copy);
    if (text == nullptr) {
        return false;
    }
    value = text;
    zvFree(text);
    return true;
}

std::string queryBlockMaskType(double handle) {
    std::string maskType;
    putHandleAndEvaluate(handle, kMaskTypeQuery);
    getCallerVariableString("KorLix_BlockMaskType", maskType);
    zupEvalString(kMaskTypeCleanup);
    return maskType;
}

void queryExecutionSystem(double handle, std::string& execSys, int32_t& sysTypeCode, std::string& errorText) {
    errorText = kExecSysFailed;
    std::string sysType;
    putHandleAndEvaluate(handle, kExecSysQuery);
    getCallerVariableString("KorLix_ErrMsg", errorText);
    getCallerVariableString("KorLix_ExecSys", execSys);
    getCallerVariableString("KorLix_SysType", sysType);
    zupEvalString(kExecSysCleanup);

    for (const SysTypeRow& row : kSysTypes) {
        if (sysType == row.text) {
            sysTypeCode = row.code;
            return;
        }
    }
    sysTypeCode = kExecNone;
    errorText = kUnknownSysType;
}

bool isBlockHandleValid(double handle) {
    putHandleAndEvaluate(handle, kIsHandleQuery);
    // Only a readable number that is exactly 0.0 marks the handle stale; a missing variable, one that holds
    // no number, or an empty one keeps it.
    bool valid = true;
    if (zvArray* isHandle = zupGetVariable("caller", "KorLix_IsHandle"); isHandle != nullptr) {
        valid = !(zvIsNumeric(isHandle) && !zvIsEmpty(isHandle) && zvGetScalar(isHandle) == 0.0);
        zvDestroyArray(isHandle);
    }
    zupEvalString(kIsHandleCleanup);
    return valid;
}

}  // namespace korlix
