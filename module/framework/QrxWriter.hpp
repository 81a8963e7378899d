// The module's layer over the host's two record writers: checks arguments, groups pairs into the record's
// nested sections and checks work-vector bookkeeping. Every operation answers 1 on success.
#pragma once

#include <cstdint>

#include "tarvel/host_block.h"

namespace korlix {

// Value kinds of a name/value pair (see the record writer documentation for their arguments).
enum SSWRITE_VALUE_type : int32_t {
    SSWRITE_VALUE_STR = 0,
    SSWRITE_VALUE_QSTR = 1,
    SSWRITE_VALUE_VECT_STR = 2,
    SSWRITE_VALUE_NUM = 3,
    SSWRITE_VALUE_VECT = 4,
    SSWRITE_VALUE_2DMAT = 5,
    SSWRITE_VALUE_DTYPE_NUM = 6,
    SSWRITE_VALUE_DTYPE_VECT = 7,
    SSWRITE_VALUE_DTYPE_2DMAT = 8,
    SSWRITE_VALUE_DTYPE_ML_VECT = 9,
    SSWRITE_VALUE_DTYPE_ML_2DMAT = 10,
};

inline constexpr int32_t kComplexDataTypeBit = 0x10000;

int32_t ssWriteQRXString(HostBlock* S, const char* text);
int32_t ssWriteQRXNameValuePair(HostBlock* S, int32_t kind, const char* name, const void* value, int32_t a4,
                                int32_t a5, int32_t a6);
int32_t ssWriteQRXParamSettings(HostBlock* S, int32_t n, ...);
int32_t ssWriteQRXWorkVect(HostBlock* S, const char* vectName, int32_t nNames, ...);

}  // namespace korlix
