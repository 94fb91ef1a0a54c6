#pragma once
// Shared set-up of the fuzz targets: the entry point libFuzzer (or the
// corpus replay driver) calls, and a quiet log so that millions of runs do
// not spend their time printing.

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace orvfuzz {

inline void QuietLog()
{
    static const bool installed = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    (void)installed;
}

} // namespace orvfuzz
