#include "platform/line_splitter.h"

namespace launcher {

void LineSplitter::Feed(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            Emit();
        } else if (line_.size() < kMaxLine) {
            line_ += bytes[i];
        }
    }
}

void LineSplitter::Finish() { Emit(); }

void LineSplitter::Emit() {
    if (line_.empty()) return;
    if (onLine_) onLine_(line_);
    line_.clear();
}

}  // namespace launcher
