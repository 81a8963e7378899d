// Reading dialog parameters by name and turning their text into numbers, lists and data type ids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarvel/host_block.h"

namespace korlix {

// The text of field `name` of the block parameter structure. On failure sets errorText to
// "Unable to find variable or field \"<name>\" in the s-function parameters" and leaves value; on success
// errorText is left as it was.
void getSFcnParamString(HostBlock* S, std::string name, std::string& value, std::string& errorText);
void stringToUint32(const std::string& text, uint32_t& value, std::string& errorText);
// Appends every number read (white-space separated) to values; stops silently at the first non-number.
void stringToUint32Vector(const std::string& text, std::vector<uint32_t>& values, std::string& errorText);
int32_t dataTypeNameToId(std::string name);
void parseDataTypeList(std::string text, std::vector<int32_t>& ids, std::string& errorText);
int8_t dataTypeByteSize(int32_t id);

}  // namespace korlix
