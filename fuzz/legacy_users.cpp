// The accounts file of older installations: a JSON array of accounts, read
// with Jansson.

#include "fuzz.h"

#include "app/legacyaccounts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    bool ok = false;
    ParseLegacyAccounts(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), &ok);
    return 0;
}
