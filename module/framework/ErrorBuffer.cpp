// Reporting through a buffer that outlives the callback.
#include "framework/ErrorBuffer.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace korlix {

void ErrorBuffer::report(HostBlock* S, const std::string& text) {
    const std::size_t length = std::min(text.size(), kSize - 1);
    std::memmove(buffer_, text.data(), length);
    buffer_[length] = '\0';
    setErrorStatus(S, buffer_);
}

void ErrorBuffer::reportf(HostBlock* S, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buffer_, kSize, format, ap);
    va_end(ap);
    setErrorStatus(S, buffer_);
}

}  // namespace korlix
