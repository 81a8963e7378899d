// Questions about one block that only the host's command language can answer, asked through short commands
// evaluated in the host workspace.
#pragma once

#include <cstdint>
#include <string>

namespace korlix {

// Reads a "caller" workspace variable as text; false (value unchanged) when it is missing or holds no text.
bool getCallerVariableString(std::string name, std::string& value);
// The block's "MaskType"; empty when the host gave none.
std::string queryBlockMaskType(double handle);
// The execution system of the block: text, code (ExecSysCode) and an error text, empty on success.
void queryExecutionSystem(double handle, std::string& execSys, int32_t& sysTypeCode, std::string& errorText);
// Destroys and unregisters every block whose handle the host no longer reports as valid.
void removeStaleBlocks();

}  // namespace korlix
