// The record writer layer over the host's line and pair writers.
#include "framework/QrxWriter.hpp"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/ErrorBuffer.hpp"
#include "framework/HostInterface.hpp"

namespace korlix {

namespace {

// Holds the work-vector count mismatch message; the host reads it after mdlQRX has returned.
ErrorBuffer workVectMismatch;

// The writers exist only while the host runs mdlQRX (or a test captures the record). A call outside that
// window would jump through a null pointer, so it fails with an error of its own instead.
bool writersMissing(HostBlock* S) {
    if (S->writeRecordText == nullptr || S->writeRecordPair == nullptr) {
        setErrorStatus(S, "Record writers are not available outside mdlQRX");
        return true;
    }
    return false;
}

struct PairShape {
    int32_t dataTypeId = 0;
    int32_t rows = 1;
    int32_t columns = 1;
    bool matrix = false;
    bool splitComplex = false;
};

PairShape shapeOf(int32_t kind, int32_t a4, int32_t a5, int32_t a6) {
    PairShape s;
    switch (kind) {
        case HB_VALUE_VECT_STR:
            s.rows = a4;
            break;
        case HB_VALUE_NUM:
        case HB_VALUE_DTYPE_NUM:
            s.dataTypeId = a4;
            break;
        case HB_VALUE_VECT:
        case HB_VALUE_DTYPE_VECT:
            s.dataTypeId = a4;
            s.rows = a5;
            break;
        case HB_VALUE_2DMAT:
        case HB_VALUE_DTYPE_2DMAT:
            s.dataTypeId = a4;
            s.rows = a5;
            s.columns = a6;
            s.matrix = true;
            break;
        case HB_VALUE_DTYPE_ML_VECT:
            s.dataTypeId = a4;
            s.rows = a5;
            s.splitComplex = true;
            break;
        case HB_VALUE_DTYPE_ML_2DMAT:
            s.dataTypeId = a4;
            s.rows = a5;
            s.columns = a6;
            s.matrix = true;
            s.splitComplex = true;
            break;
        default:  // kinds 0 and 1: one text
            break;
    }
    return s;
}

// Kinds are 0..10; a negative kind is refused like one above 10.
bool validKind(int32_t kind) {
    return kind >= HB_VALUE_STR && kind <= HB_VALUE_DTYPE_ML_2DMAT;
}

}  // namespace

int32_t ssWriteQRXString(HostBlock* S, const char* text) {
    if (writersMissing(S)) {
        return 0;
    }
    return S->writeRecordText(S->recordContext, text);
}

int32_t ssWriteQRXNameValuePair(HostBlock* S, int32_t kind, const char* name, const void* value, int32_t a4,
                                int32_t a5, int32_t a6) {
    if (!validKind(kind)) {
        setErrorStatus(S, "Invalid SSWRITE_VALUE_type passed to ssWriteQRXNameValuePair");
        return 0;
    }
    const PairShape shape = shapeOf(kind, a4, a5, a6);
    if (name == nullptr || name[0] == '\0') {
        setErrorStatus(S, "Invalid name passed to ssWriteQRXNameValuePair");
        return 0;
    }
    const bool emptyMatrix = shape.matrix && shape.rows == 0 && shape.columns == 0;
    const bool halfEmptyMatrix = shape.matrix && !emptyMatrix && (shape.rows == 0 || shape.columns == 0);
    if (shape.rows < 0 || shape.columns < 0 || halfEmptyMatrix) {
        setErrorStatus(S, "Invalid number of rows or columns passed to ssWriteQRXNameValuePair");
        return 0;
    }
    if (shape.rows != 0) {
        bool valueMissing = value == nullptr;
        if (shape.splitComplex && !valueMissing) {
            const void* const* parts = static_cast<const void* const*>(value);
            valueMissing = parts[0] == nullptr ||
                           ((shape.dataTypeId & HB_DTYPE_COMPLEX_BIT) != 0 && parts[1] == nullptr);
        }
        if (valueMissing) {
            setErrorStatus(S, "Invalid value (NULL) passed to ssWriteQRXNameValuePair");
            return 0;
        }
    }
    if (writersMissing(S)) {
        return 0;
    }
    return S->writeRecordPair(S->recordContext, kind, name, value, shape.dataTypeId, shape.rows,
                              shape.columns);
}

int32_t ssWriteQRXParamSettings(HostBlock* S, int32_t n, ...) {
    if (n <= 0) {
        return 0;
    }
    int32_t result = ssWriteQRXString(S, "SFcnParamSettings {");
    if (result != 1) {
        return result;
    }
    va_list ap;
    va_start(ap, n);
    for (int32_t i = 0; i < n && result == 1; ++i) {
        const int32_t kind = va_arg(ap, int32_t);
        if (!validKind(kind)) {
            setErrorStatus(S, "Invalid SSWRITE_VALUE_type passed to ssWriteQRXParamSettings");
            result = 0;
            break;
        }
        const char* name = va_arg(ap, const char*);
        switch (kind) {
            case HB_VALUE_NUM: {
                const double number = va_arg(ap, double);
                result = ssWriteQRXNameValuePair(S, kind, name, &number, HB_DTYPE_DOUBLE, 0, 0);
                break;
            }
            case HB_VALUE_VECT_STR:
            case HB_VALUE_VECT: {
                const void* value = va_arg(ap, const void*);
                const int32_t count = va_arg(ap, int32_t);
                result = kind == HB_VALUE_VECT_STR
                             ? ssWriteQRXNameValuePair(S, kind, name, value, count, 0, 0)
                             : ssWriteQRXNameValuePair(S, kind, name, value, HB_DTYPE_DOUBLE, count, 0);
                break;
            }
            case HB_VALUE_2DMAT: {
                const void* value = va_arg(ap, const void*);
                const int32_t rows = va_arg(ap, int32_t);
                const int32_t columns = va_arg(ap, int32_t);
                result = ssWriteQRXNameValuePair(S, kind, name, value, HB_DTYPE_DOUBLE, rows, columns);
                break;
            }
            case HB_VALUE_DTYPE_NUM: {
                const void* value = va_arg(ap, const void*);
                const int32_t dataTypeId = va_arg(ap, int32_t);
                result = ssWriteQRXNameValuePair(S, kind, name, value, dataTypeId, 0, 0);
                break;
            }
            case HB_VALUE_DTYPE_VECT: {
                const void* value = va_arg(ap, const void*);
                const int32_t count = va_arg(ap, int32_t);
                const int32_t dataTypeId = va_arg(ap, int32_t);
                result = ssWriteQRXNameValuePair(S, kind, name, value, dataTypeId, count, 0);
                break;
            }
            case HB_VALUE_DTYPE_2DMAT: {
                const void* value = va_arg(ap, const void*);
                const int32_t rows = va_arg(ap, int32_t);
                const int32_t columns = va_arg(ap, int32_t);
                const int32_t dataTypeId = va_arg(ap, int32_t);
                result = ssWriteQRXNameValuePair(S, kind, name, value, dataTypeId, rows, columns);
                break;
            }
            case HB_VALUE_DTYPE_ML_VECT:
            case HB_VALUE_DTYPE_ML_2DMAT: {
                const void* parts[2];
                parts[0] = va_arg(ap, const void*);
                parts[1] = va_arg(ap, const void*);
                const int32_t rows = va_arg(ap, int32_t);
                const int32_t columns = kind == HB_VALUE_DTYPE_ML_2DMAT ? va_arg(ap, int32_t) : 1;
                const int32_t dataTypeId = va_arg(ap, int32_t);
                result = ssWriteQRXNameValuePair(S, kind, name, parts, dataTypeId, rows, columns);
                break;
            }
            default: {  // kinds 0 and 1
                const char* text = va_arg(ap, const char*);
                result = ssWriteQRXNameValuePair(S, kind, name, text, 0, 0, 0);
                break;
            }
        }
    }
    va_end(ap);
    if (result != 1) {
        return result;
    }
    return ssWriteQRXString(S, "}");
}

int32_t ssWriteQRXWorkVect(HostBlock* S, const char* vectName, int32_t nNames, ...) {
    int registeredField = -1;
    if (vectName != nullptr) {
        if (std::strcmp(vectName, "RWork") == 0) {
            registeredField = HB_SIZE_NUM_RWORK;
        } else if (std::strcmp(vectName, "IWork") == 0) {
            registeredField = HB_SIZE_NUM_IWORK;
        } else if (std::strcmp(vectName, "PWork") == 0) {
            registeredField = HB_SIZE_NUM_PWORK;
        }
    }
    if (registeredField < 0) {
        setErrorStatus(
            S,
            "Invalid work vector name (vectName) passed to ssWriteQRXWorkVect (must be RWork, IWork, or "
            "PWork");
        return 0;
    }
    if (nNames <= 0) {
        setErrorStatus(S, "nNames argument to ssWriteQRXWorkVect must be greater than 0");
        return 0;
    }
    const int32_t registered = getSizeField(S, registeredField);
    const std::string vect(vectName);

    int32_t result = ssWriteQRXNameValuePair(S, HB_VALUE_DTYPE_NUM, ("Num" + vect + "Defines").c_str(),
                                             &nNames, HB_DTYPE_INT32, 0, 0);
    if (result != 1) {
        return result;
    }
    const std::string defineLine = vect + "Define {";
    // Summed in 64 bits so that large widths cannot overflow; the mismatch test below sees the true sum.
    int64_t startIndex = 0;
    va_list ap;
    va_start(ap, nNames);
    for (int32_t i = 0; i < nNames && result == 1; ++i) {
        const char* name = va_arg(ap, const char*);
        const int32_t width = va_arg(ap, int32_t);
        const auto start = static_cast<int32_t>(startIndex);
        result = ssWriteQRXString(S, defineLine.c_str());
        if (result == 1) {
            result = ssWriteQRXNameValuePair(S, HB_VALUE_QSTR, "Name", name, 0, 0, 0);
        }
        if (result == 1) {
            result = ssWriteQRXNameValuePair(S, HB_VALUE_DTYPE_NUM, "Width", &width, HB_DTYPE_INT32, 0, 0);
        }
        if (result == 1) {
            result =
                ssWriteQRXNameValuePair(S, HB_VALUE_DTYPE_NUM, "StartIndex", &start, HB_DTYPE_INT32, 0, 0);
        }
        if (result == 1) {
            result = ssWriteQRXString(S, "}");
        }
        startIndex += width;
    }
    va_end(ap);
    if (result != 1) {
        return result;
    }
    if (startIndex != registered) {
        workVectMismatch.reportf(
            S,
            "Error in ssWriteQRXWorkVect.  The total number of %sDefines written to the .qrx file (= %lld), "
            "should be equal to number of %s (= %d), registered in mdlInitializeSizes",
            vectName, static_cast<long long>(startIndex), vectName, registered);
        return 0;
    }
    return 1;
}

}  // namespace korlix
