#include "platform/platform.h"

#include <cstdlib>

namespace platform {

void DebuggerOutput(const QString&)
{
    // No debugger channel outside Windows: the console and the log file carry everything.
}

void FailFast()
{
    std::abort();
}

} // namespace platform
