/* The host's C interface headers, compiled as C11: a module written in C includes exactly these. */
#include "quonix/zup.h"
#include "quonix/zv.h"
#include "tarvel/host_block.h"

/* One use of each header, so that a header that only compiles as C++ fails the build. */
int quonixCHeadersCompiled(const HostBlock* block, const zvArray* array) {
    return block->sizes[HB_SIZE_VERSION] == HOST_BLOCK_VERSION && array != 0 && HB_CALL_QRX > 0;
}
