// The module's layer over the host's two record writers: checks arguments, groups pairs into the record's
// nested sections and checks work-vector bookkeeping. Every operation answers 1 on success. Pair kinds are
// the host's HostRecordValueKind values.
#pragma once

#include <cstdint>

#include "tarvel/host_block.h"

namespace korlix {

int32_t ssWriteQRXString(HostBlock* S, const char* text);
int32_t ssWriteQRXNameValuePair(HostBlock* S, int32_t kind, const char* name, const void* value, int32_t a4,
                                int32_t a5, int32_t a6);
int32_t ssWriteQRXParamSettings(HostBlock* S, int32_t n, ...);
int32_t ssWriteQRXWorkVect(HostBlock* S, const char* vectName, int32_t nNames, ...);

}  // namespace korlix
