// Questions about one block answered by the host's command language. Every query puts the block handle into
// the global workspace, evaluates one command, reads its result variables from the caller workspace and
// evaluates a clean-up command that removes all of them again. The variable names are fixed, which is safe
// because the host calls the module from one thread at a time.
#include "services/Workspace.hpp"

#include "framework/HostInterface.hpp"
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

// One query: its command, its clean-up command, and whether that clean-up is still owed.
struct Query {
    const char* command;
    const char* cleanup;
    // A clean-up command that failed (or a raise before it ran) leaves the query's variables in the caller
    // workspace, where the next query of the same kind would read them as its own block's answers when its
    // own command fails. Such a clean-up is owed until it succeeds; this is the only state the bridge keeps.
    bool cleanupOwed = false;
};

Query gMaskTypeQuery{kMaskTypeQuery, kMaskTypeCleanup};
Query gExecSysQuery{kExecSysQuery, kExecSysCleanup};
Query gIsHandleQuery{kIsHandleQuery, kIsHandleCleanup};

// A clean-up that fails, or raises, is tried once more at once (a passing failure then leaves nothing
// behind); one that fails again stays owed. A raise goes on to the host after the second try.
void cleanUp(Query& query) {
    query.cleanupOwed = true;
    try {
        if (zupEvalString(query.cleanup) == 0) {
            query.cleanupOwed = false;
            return;
        }
    } catch (...) {
        query.cleanupOwed = zupEvalString(query.cleanup) != 0;
        throw;
    }
    query.cleanupOwed = zupEvalString(query.cleanup) != 0;
}

// Step 1: the handle as the global variable. False when it could not be stored (no array, or the host
// refused it): the command would then run on an empty or stale KorLix_BlockHandle and answer for no block, or
// for another one.
bool putHandle(double handle) {
    const HostArray value(zvCreateDoubleScalar(handle));
    return value != nullptr && zupPutVariable("global", "KorLix_BlockHandle", value.get()) == 0;
}

// Runs the protocol of one query: the handle, the command (its status is not examined: a failed command
// simply leaves its result variables unset), `read` on the result variables, the clean-up command. `read` is
// not called when the question could not be asked: the handle was not stored, or a clean-up still owed from
// an earlier query failed again. The caller's answer is then what it holds before `read`: the answer to a
// failed command, except where that would lose a block (see isBlockHandleValid).
template <typename Read>
void ask(double handle, Query& query, Read read) {
    if (query.cleanupOwed) {
        cleanUp(query);
        if (query.cleanupOwed) {
            return;
        }
    }
    try {
        if (putHandle(handle)) {
            zupEvalString(query.command);
            read();
        }
    } catch (...) {
        // A host call that raised does not return; what the query put into the workspaces is still removed
        // before the raise goes on to the host.
        cleanUp(query);
        throw;
    }
    cleanUp(query);
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
    const HostArray copy(zupGetVariable("caller", name.c_str()));
    if (copy == nullptr) {
        return false;
    }
    // A variable that holds no text answers false, like a missing one.
    const HostText text(zvArrayToString(copy.get()));
    if (text == nullptr) {
        return false;
    }
    value = text.get();
    return true;
}

std::string queryBlockMaskType(double handle) {
    // Not asked: the empty text, as for a failed get_param; the factory refuses it with its own error.
    std::string maskType;
    ask(handle, gMaskTypeQuery, [&] { getCallerVariableString("KorLix_BlockMaskType", maskType); });
    return maskType;
}

void queryExecutionSystem(double handle, std::string& execSys, int32_t& sysTypeCode, std::string& errorText) {
    errorText = kExecSysFailed;
    // Not asked: the type text stays empty, so the answer is the unrecognised-type error, as for a failed
    // korlix_get_execsys2.
    std::string sysType;
    ask(handle, gExecSysQuery, [&] {
        getCallerVariableString("KorLix_ErrMsg", errorText);
        getCallerVariableString("KorLix_ExecSys", execSys);
        getCallerVariableString("KorLix_SysType", sysType);
    });

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
    // Only a readable number that is exactly 0.0 marks the handle stale; a missing variable, one that holds
    // no number, or an empty one keeps it. So does a question that could not be asked: a block whose validity
    // is unknown is kept, since destroying a live block would lose it without a word.
    bool valid = true;
    ask(handle, gIsHandleQuery, [&] {
        if (const HostArray isHandle(zupGetVariable("caller", "KorLix_IsHandle")); isHandle != nullptr) {
            valid = !(zvIsNumeric(isHandle.get()) && !zvIsEmpty(isHandle.get()) &&
                      zvGetScalar(isHandle.get()) == 0.0);
        }
    });
    return valid;
}

}  // namespace korlix
