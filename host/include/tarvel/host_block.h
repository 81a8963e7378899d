/*
 * Tarvel per-block host structure (HostBlock): the one structure that the simulation environment hands to
 * every callback of a block and that a module reads and writes to set the block up.
 *
 * Who sets what: "host" fields are filled by the host before it calls the module; "module" fields are
 * written by the module during its callbacks and read back by the host afterwards. The structure crosses a
 * C boundary, so it holds only plain data and function pointers.
 */
#ifndef TARVEL_HOST_BLOCK_H
#define TARVEL_HOST_BLOCK_H

#include <stdint.h>

#include "quonix/zv.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Version of this structure; the host stores it in the registration argument and the module writes it
 * into size field HB_SIZE_VERSION. */
#define HOST_BLOCK_VERSION 5200229

/* Indexes into HostBlock.sizes, the 38-field size record. Fields not named here are reserved: the host
 * presets them to 0 and neither side gives them a meaning. */
enum HostBlockSizeField {
    HB_SIZE_NUM_CONT_STATES = 0,  /* module: number of continuous states */
    HB_SIZE_NUM_DISC_STATES = 1,  /* module: number of discrete states */
    HB_SIZE_NUM_OUTPUTS = 2,      /* setNumOutputPorts: number of output ports */
    HB_SIZE_NUM_INPUTS = 3,       /* setNumInputPorts: number of input ports */
    HB_SIZE_TASK_INDICATOR = 4,   /* host: -2 when the block runs in a single task, else 0 */
    HB_SIZE_NUM_SAMPLE_TIMES = 6, /* module: number of sample times */
    HB_SIZE_NUM_SFCN_PARAMS = 7,  /* module: expected number of S-function parameters */
    HB_SIZE_NUM_IWORK = 8,        /* module: integer work vector length */
    HB_SIZE_NUM_RWORK = 9,        /* module: real work vector length */
    HB_SIZE_NUM_PWORK = 10,       /* module: pointer work vector length */
    HB_SIZE_UNSIGNED_FIRST = 15,  /* fields 15..18 are passed back to the host as unsigned numbers */
    HB_SIZE_UNSIGNED_LAST = 18,
    HB_SIZE_VERSION = 19,            /* module: HOST_BLOCK_VERSION, written at registration */
    HB_SIZE_NUM_NONSAMPLED_ZCS = 20, /* module: number of non-sampled zero crossings */
    HB_SIZE_NUM_MODES = 22,          /* module: number of modes (see setNumModes) */
    HB_SIZE_OPTIONS = 23,            /* module: option word (unsigned bits) */
    HB_SIZE_FLAGS = 31,              /* module: flag word (bits set and cleared by the block) */
    HB_SIZE_FIELD_COUNT = 38
};

/* Callback flags: the fourth right-hand argument of a zupFunction call. 0 is the registration call (it runs
 * mdlInitializeSizes); the others reach the module's dispatcher. Flags 111 to 150 stand for optional host
 * methods; 103 and 108 for features a module may lack. */
enum HostCallbackFlag {
    HB_CALL_REGISTRATION = 0,
    HB_CALL_INITIALIZE_SAMPLE_TIMES = 101,
    HB_CALL_GET_TIME_OF_NEXT_VAR_HIT = 103,
    HB_CALL_OUTPUTS = 104,
    HB_CALL_TERMINATE = 107,
    HB_CALL_ZERO_CROSSINGS = 108,
    HB_CALL_SET_WORK_WIDTHS = 111,
    HB_CALL_CHECK_PARAMETERS = 112,
    HB_CALL_SET_INPUT_PORT_DATA_TYPE = 113,
    HB_CALL_SET_OUTPUT_PORT_DATA_TYPE = 114,
    HB_CALL_SET_INPUT_PORT_WIDTH = 115,
    HB_CALL_SET_OUTPUT_PORT_WIDTH = 116,
    HB_CALL_START = 117,
    HB_CALL_QRX = 119,
    HB_CALL_SET_INPUT_PORT_COMPLEX_SIGNAL = 120,
    HB_CALL_SET_OUTPUT_PORT_COMPLEX_SIGNAL = 121,
    HB_CALL_SET_INPUT_PORT_SAMPLE_TIME = 122,
    HB_CALL_SET_OUTPUT_PORT_SAMPLE_TIME = 123,
    HB_CALL_SET_INPUT_PORT_DIMENSION_INFO = 126,
    HB_CALL_SET_OUTPUT_PORT_DIMENSION_INFO = 127,
    HB_CALL_SET_INPUT_PORT_FRAME_DATA = 128,
    HB_CALL_SET_DEFAULT_PORT_DIMENSION_INFO = 131,
    HB_CALL_SET_DEFAULT_PORT_DATA_TYPES = 132,
    HB_CALL_SET_DEFAULT_PORT_COMPLEX_SIGNALS = 133,
    HB_CALL_INITIALIZE_PROPAGATION_PASS = 142,
    HB_CALL_GET_SIM_STATE = 144,
    HB_CALL_SET_SIM_STATE = 145,
    HB_CALL_SET_INPUT_PORT_SYMBOLIC_DIMENSIONS = 149,
    HB_CALL_SET_OUTPUT_PORT_SYMBOLIC_DIMENSIONS = 150
};

/* Task indicator (size field HB_SIZE_TASK_INDICATOR) and task identifier of a block in a single task. */
#define HB_SINGLE_TASK (-2)

/* Bits of the flag word (size field HB_SIZE_FLAGS). */
enum HostFlagBit {
    HB_FLAG_PORTS_SET = 0x2,               /* a port count was set on a bare structure */
    HB_FLAG_INHERITED_SAMPLE_TIME = 0x800, /* the block inherits its sample time */
    HB_FLAG_FIXED_SAMPLE_TIME = 0x1000,    /* cleared when the sample time is inherited */
    HB_FLAG_SETUP_DONE = 0x100000,         /* set by the common closing set-up */
    HB_FLAGS_CLEARED_BY_SETUP = 0x680000   /* cleared by the common closing set-up */
};

/* Values and bits of the option word (size field HB_SIZE_OPTIONS). */
enum HostOptionBit {
    HB_OPTION_REGISTERED = 0x2000,    /* or-ed in after the registration call */
    HB_OPTION_STARTED = 0x200000,     /* the whole word at mdlStart */
    HB_OPTIONS_BLOCK = 0x280020,      /* the whole word after the common closing set-up */
    HB_OPTIONS_SIGNAL_BLOCK = 0x80020 /* the whole word after a signal block's closing set-up */
};

/* The attribute bit the blocks set on some inputs (HostInputPort.attributes); its meaning is the host's. */
#define HB_INPUT_ATTRIBUTE_MARKED 0x20u

/* Host data type ids, for port data types and record pairs. */
enum HostDataTypeId {
    HB_DTYPE_DOUBLE = 0,
    HB_DTYPE_SINGLE = 1,
    HB_DTYPE_INT8 = 2,
    HB_DTYPE_UINT8 = 3,
    HB_DTYPE_INT16 = 4,
    HB_DTYPE_UINT16 = 5,
    HB_DTYPE_INT32 = 6,
    HB_DTYPE_UINT32 = 7,
    HB_DTYPE_BOOLEAN = 8,
    HB_DTYPE_COUNT = 9
};
/* Or-ed into a record pair's data type id: the values are complex. */
#define HB_DTYPE_COMPLEX_BIT 0x10000

/* Value kinds of a record pair (HostWriteRecordPair): texts, numbers, vectors and matrices. */
enum HostRecordValueKind {
    HB_VALUE_STR = 0,            /* a bare text */
    HB_VALUE_QSTR = 1,           /* a quoted text */
    HB_VALUE_VECT_STR = 2,       /* rows texts */
    HB_VALUE_NUM = 3,            /* one double */
    HB_VALUE_VECT = 4,           /* rows doubles */
    HB_VALUE_2DMAT = 5,          /* rows x columns doubles */
    HB_VALUE_DTYPE_NUM = 6,      /* one value of dataTypeId */
    HB_VALUE_DTYPE_VECT = 7,     /* rows values of dataTypeId */
    HB_VALUE_DTYPE_2DMAT = 8,    /* rows x columns values of dataTypeId */
    HB_VALUE_DTYPE_ML_VECT = 9,  /* rows values, real and imaginary parts apart */
    HB_VALUE_DTYPE_ML_2DMAT = 10 /* rows x columns values, real and imaginary parts apart */
};

/* Bits of an S-function parameter's attribute word (HostBlock.sfcnParamAttributes). */
enum HostParamAttribute {
    HB_PARAM_NOT_TUNABLE = 0x1,
    HB_PARAM_TUNABLE = 0x2,
    HB_PARAM_SIM_ONLY_TUNABLE = 0x4
};

/* Methods reachable through HostBlock.callMethod. */
enum HostBlockMethod {
    HB_METHOD_GET_BLOCK_HANDLE = 21,  /* a = 0, b = double*: writes the block handle */
    HB_METHOD_REGISTRATION_HOOK = 280 /* a = 1, b = null: called once at registration when supported */
};

/* Simulation modes (HostModelInfo.simulationMode). */
enum HostSimulationMode {
    HB_SIM_MODE_NORMAL = 0,
    HB_SIM_MODE_SIZES_ONLY = 1 /* the host only asks for sizes; per-signal dialog texts are not needed */
};

/* One input port. Created zeroed by setNumInputPorts; the stand-in host then presets width and data type
 * to -1 ("not set"). */
typedef struct HostInputPort {
    int32_t width;             /* module: number of elements */
    int32_t directFeedThrough; /* module: non-zero when the output depends on this input directly */
    int32_t dataTypeId;        /* module: host data type id (0 double .. 8 boolean) */
    uint32_t attributes;       /* module: attribute bits (0x20 is set by some blocks) */
} HostInputPort;

/* One output port. Created by setNumOutputPorts; presets as for inputs. */
typedef struct HostOutputPort {
    int32_t width;      /* module: number of elements */
    int32_t dataTypeId; /* module: host data type id */
} HostOutputPort;

/* Model-wide information the structure points to. */
typedef struct HostModelInfo {
    int32_t simulationMode; /* host: a HostSimulationMode */
} HostModelInfo;

typedef struct HostBlock HostBlock;

/* Writer functions of the code-generation record; both return 1 on success. Valid only during mdlQRX. */
typedef int32_t (*HostWriteRecordText)(void* context, const char* text);
/* value: kinds 0, 1 const char*; 2 const char* const* (rows texts); 3, 4, 5 const double*; 6, 7, 8 values
 * stored as dataTypeId says (interleaved real/imaginary when bit 0x10000 is set); 9, 10 a
 * const void* const[2] holding the real and imaginary parts. rows/columns as the kind gives them. */
typedef int32_t (*HostWriteRecordPair)(void* context, int32_t kind, const char* name, const void* value,
                                       int32_t dataTypeId, int32_t rows, int32_t columns);

/* The per-block structure. */
struct HostBlock {
    const char* name; /* host: the S-function name the block uses; the module compares it with its own */
    HostBlock* root;  /* host: the structure that holds the error status (itself for a block structure) */
    int32_t sizes[HB_SIZE_FIELD_COUNT]; /* both: the size record, indexed by HostBlockSizeField */

    int32_t numSFcnParams;         /* host: number of S-function parameters passed */
    const zvArray** sfcnParams;    /* host: the parameters (0: block parameter structure, 1: sample time) */
    uint32_t* sfcnParamAttributes; /* module: one attribute word per parameter (HostParamAttribute) */

    /* host: set the number of ports; answer 0 (and change nothing) for a refused count, else store the
     * count in sizes, (re)create the port records and answer 1. */
    int (*setNumInputPorts)(HostBlock* block, int32_t count);
    int (*setNumOutputPorts)(HostBlock* block, int32_t count);
    HostInputPort* inputs;   /* host: sizes[HB_SIZE_NUM_INPUTS] records, written by the module */
    HostOutputPort* outputs; /* host: sizes[HB_SIZE_NUM_OUTPUTS] records, written by the module */

    double sampleTime;   /* module: period of sample time 0 (host presets 0.0) */
    double sampleOffset; /* module: offset of sample time 0 (host presets 0.0) */

    HostModelInfo* modelInfo; /* host: model information, may be null (then normal mode) */

    /* module: callbacks, registered at the registration call; the host calls those that are set. */
    void (*mdlInitializeSizes)(HostBlock* block);
    void (*mdlInitializeSampleTimes)(HostBlock* block);
    void (*mdlGetTimeOfNextVarHit)(HostBlock* block);
    void (*mdlOutputs)(HostBlock* block, int32_t taskId);
    void (*mdlTerminate)(HostBlock* block);
    void (*mdlZeroCrossings)(HostBlock* block);
    void (*mdlStart)(HostBlock* block);
    void (*mdlQRX)(HostBlock* block);

    /* host: method dispatcher, may be null. Answers 1 when the method was handled. */
    int (*callMethod)(HostBlock* block, int32_t method, int32_t a, void* b);
    int32_t
        supportsRegistrationHook; /* host: non-zero when method HB_METHOD_REGISTRATION_HOOK may be called */

    /* host: optional setter of size field HB_SIZE_NUM_MODES, may be null. */
    void (*setNumModes)(HostBlock* block, int32_t value);

    HostWriteRecordText writeRecordText; /* host: line writer, set during mdlQRX */
    HostWriteRecordPair writeRecordPair; /* host: pair writer, set during mdlQRX */
    void* recordContext;                 /* host: first argument of both writers */

    const char* errorStatus; /* module (in root): error text; must stay valid after the callback returns */

    void* hostData; /* host: private to the host, never touched by the module */
};

#ifdef __cplusplus
}
#endif

#endif /* TARVEL_HOST_BLOCK_H */
