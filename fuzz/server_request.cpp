// The local server's own request parsing: form bodies (ORV_FUZZ_PARSER 0) and
// the tus headers Upload-Offset, Upload-Length and Upload-Metadata (1).

#include "fuzz.h"

#include "api.h"
#include "tus/tus_service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    const std::string in(reinterpret_cast<const char*>(data), size);
    if (ORV_FUZZ_PARSER == 0) {
        orvsrv::ParseForm(in);
    } else {
        qint64 value = 0;
        orvsrv::ParseTusNumber(in, &value);
        orvsrv::TusUploadInfo info;
        orvsrv::ReadUploadMetadata(QString::fromUtf8(in.data(), static_cast<int>(in.size())), 1024, &info);
    }
    return 0;
}
