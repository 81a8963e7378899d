// Questions about one block that only the host's command language can answer, asked through short commands
// evaluated in the host workspace.
#pragma once

#include <cstdint>
#include <string>

namespace korlix {

// Execution-system codes, the numeric form of the system type text the host answers.
enum ExecSysCode : int32_t { kExecNone = 0, kExecHost = 1, kExecWqm = 2, kExecOpalrt = 3, kExecKvd = 4 };

// Reads a "caller" workspace variable as text; false (value unchanged) when it is missing or holds no text.
bool getCallerVariableString(std::string name, std::string& value);
// The block's "MaskType"; empty when the host gave none.
std::string queryBlockMaskType(double handle);
// The execution system of the block: text, code (ExecSysCode) and an error text, empty on success.
void queryExecutionSystem(double handle, std::string& execSys, int32_t& sysTypeCode, std::string& errorText);
// Whether the host still knows the handle. Only an answer of exactly 0 says no; an answer that cannot be
// read keeps the block, the safe choice.
bool isBlockHandleValid(double handle);

}  // namespace korlix
