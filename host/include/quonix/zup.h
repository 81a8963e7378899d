/*
 * Quonix module interface ("zup" functions): what a loadable module imports from the numeric environment to
 * raise errors and to work with the host workspaces, and the signature of the one function it exports.
 */
#ifndef QUONIX_ZUP_H
#define QUONIX_ZUP_H

#include "quonix/zv.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The one export of every module: called by the host with nLeft result slots and nRight arguments.
 * left[i] are result slots the module may fill (the host takes ownership of what it puts there);
 * right[i] are the arguments, owned by the host. */
typedef void (*zupFunctionType)(int nLeft, zvArray* left[], int nRight, const zvArray* right[]);

/* Raises text as the error of the current host call and does not return: the host takes control back at
 * its own call site and shows the text. The stand-in host does this by unwinding (a C++ exception of a
 * host-private type that does not derive from std::exception), so a module must not catch everything on the
 * way out ("catch (...)" without rethrow); objects on the module's stack are destroyed normally. The text is
 * copied before unwinding; a null text raises an empty message. */
#ifdef __cplusplus
[[noreturn]]
#endif
void zupErrMsgTxt(const char* text);

/* Evaluates a statement list of the host's command language in the "caller" workspace. Returns 0 when every
 * statement succeeded, non-zero at the first statement that failed (which sets none of its targets; later
 * statements do not run). */
int zupEvalString(const char* command);

/* Copy of the variable name in workspace ("global" or "caller"), owned by the caller (zvDestroyArray);
 * null when there is no such variable or workspace. In "caller", a name declared global there reads the
 * global value. */
zvArray* zupGetVariable(const char* workspace, const char* name);

/* Stores a copy of value as variable name in workspace ("global" or "caller"). Returns 0 on success,
 * 1 for an unknown workspace, a null value or an invalid name. */
int zupPutVariable(const char* workspace, const char* name, const zvArray* value);

#ifdef __cplusplus
}
#endif

#endif /* QUONIX_ZUP_H */
