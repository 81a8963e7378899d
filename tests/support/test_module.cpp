#include "quonix/zup.h"
extern "C" void zupFunction(int, zvArray**, int, const zvArray**) {}
