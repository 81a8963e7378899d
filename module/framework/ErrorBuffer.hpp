// The one way a reported text is kept alive: the host reads a block's error text after the callback has
// returned, so every message formatted at run time lives in a buffer that outlives the call.
#pragma once

#include <cstddef>
#include <string>

#include "framework/HostInterface.hpp"

namespace korlix {

// A message buffer owned by one reporting place (one operation of one class, one callback of the entry, the
// record writer) for the life of the module: declare it at namespace scope. It keeps its text until the same
// place reports again.
class ErrorBuffer {
  public:
    static constexpr std::size_t kSize = 1024;
    // Copies text (at most 1023 characters) into the buffer and hands the buffer to setErrorStatus.
    void report(HostBlock* S, const std::string& text);
    // Formats straight into the buffer (cut at 1023 characters, always terminated) and reports it.
    void reportf(HostBlock* S, const char* format, ...) __attribute__((format(printf, 3, 4)));
    const char* text() const { return buffer_; }

  private:
    char buffer_[kSize] = {};
};

}  // namespace korlix
