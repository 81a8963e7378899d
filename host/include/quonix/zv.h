/*
 * Quonix arrays ("zv" functions): the values that cross the boundary between the numeric environment and a
 * loadable module. Every function here is implemented by the host library (libquonix) and imported by
 * modules.
 *
 * An array has a class (double, char, struct), two or more dimensions (rows first) and, for double arrays, an
 * optional imaginary part. Elements are stored column by column. Arrays handed to a module as arguments are
 * owned by the host; arrays a module creates are owned by the module until it destroys them or hands them to
 * the host (result slots, zupPutVariable takes a copy).
 */
#ifndef QUONIX_ZV_H
#define QUONIX_ZV_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque array; only the host knows its layout. */
typedef struct zvArray zvArray;

/* Whether a created double array has an imaginary part. */
typedef enum zvComplexity { zvREAL = 0, zvCOMPLEX = 1 } zvComplexity;

/* Class of an array, as zvGetClassID answers. */
typedef enum zvClassID {
    zvUNKNOWN_CLASS = 0, /* null pointer or destroyed array */
    zvDOUBLE_CLASS = 1,  /* numbers, real or complex */
    zvCHAR_CLASS = 2,    /* text, one character per element */
    zvSTRUCT_CLASS = 3   /* structure array with named fields */
} zvClassID;

/* ---- creation and release (host owns nothing it did not hand out) ---- */

/* New m-by-n double array, all zero; zvCOMPLEX adds a zeroed imaginary part. */
zvArray* zvCreateDoubleMatrix(size_t m, size_t n, zvComplexity complexity);
/* New 1-by-1 real double array holding value. */
zvArray* zvCreateDoubleScalar(double value);
/* New 1-by-strlen(text) char array; a null text gives a 0-by-0 char array. */
zvArray* zvCreateString(const char* text);
/* New m-by-n structure array with the given field names (copied); every field of every element starts as
 * an empty 0-by-0 double array. Returns null when a name is null, empty or given twice. */
zvArray* zvCreateStructMatrix(size_t m, size_t n, int nfields, const char** fieldNames);
/* Deep copy of an array (null for null). */
zvArray* zvDuplicateArray(const zvArray* array);
/* Releases an array and everything it holds; null is ignored. */
void zvDestroyArray(zvArray* array);

/* ---- queries ---- */

zvClassID zvGetClassID(const zvArray* array);
int zvIsNumeric(const zvArray* array); /* double class */
int zvIsChar(const zvArray* array);
int zvIsStruct(const zvArray* array);
int zvIsComplex(const zvArray* array); /* double class with an imaginary part */
int zvIsEmpty(const zvArray* array);   /* no elements (some dimension is 0) */
size_t zvGetM(const zvArray* array);   /* rows */
size_t zvGetN(const zvArray* array);   /* columns: product of every dimension after the first */
size_t zvGetNumberOfElements(const zvArray* array);
size_t zvGetNumberOfDimensions(const zvArray* array);
/* The dimensions, rows first; valid while the array lives. */
const size_t* get_dimensions(const zvArray* array);

/* ---- data access ---- */

/* Real part of a double array (null for other classes or an empty array). */
double* zvGetPr(const zvArray* array);
/* Imaginary part of a complex double array, else null. */
double* zvGetPi(const zvArray* array);
/* First real element of a double array; 0.0 for an empty array or another class. */
double zvGetScalar(const zvArray* array);
/* Copy of a char array's text, zero-terminated, allocated with zvCalloc-compatible memory that the caller
 * releases with zvFree. Null when the array is not a char array. */
char* zvArrayToString(const zvArray* array);

/* ---- structures ---- */

int zvGetNumberOfFields(const zvArray* array);
/* Index of the field named name (exact match), or -1 when there is none or the array is not a structure. */
int zvGetFieldNumber(const zvArray* array, const char* name);
/* Name of field number i, or null. */
const char* zvGetFieldNameByNumber(const zvArray* array, int fieldNumber);
/* The array in field fieldNumber of element index (column-major); owned by the structure. Null when out of
 * range. */
zvArray* get_struct_field_by_number(const zvArray* array, size_t index, int fieldNumber);
/* Replaces that field's array; the structure takes ownership of value (the old value is destroyed). */
void zvSetFieldByNumber(zvArray* array, size_t index, int fieldNumber, zvArray* value);

/* ---- memory ---- */

/* Zeroed memory from the host. A module may free it with zvFree; whatever is left is released by the host
 * when it shuts down (zvReleaseAll in the host API). Null when n * size overflows or memory runs out. */
void* zvCalloc(size_t n, size_t size);
/* Releases memory from zvCalloc or zvArrayToString; null is ignored. */
void zvFree(void* memory);

#ifdef __cplusplus
}
#endif

#endif /* QUONIX_ZV_H */
