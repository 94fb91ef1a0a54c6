// The REST answer parsers: one build of this file per parser (ORV_FUZZ_PARSER
// picks it), so that each keeps its own corpus and coverage.

#include "fuzz.h"

#include "api/apicollection.h"

using namespace ApiCollection;

namespace {

enum Parser
{
    EnvelopeParsers,
    LoginParser,
    CateTreeParser,
    VideoListParser,
    VideoInfoParser,
    CoverParsers,
    UpdateParser,
};

template <typename Record> void Run(Result<Record> (*parse)(const QByteArray&), const QByteArray& body)
{
    parse(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvfuzz::QuietLog();
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<int>(size));
    switch (ORV_FUZZ_PARSER) {
    case EnvelopeParsers:
        // The endpoints that read nothing beyond the envelope, or very little.
        Run(&ParseAddCategoryResponse, body);
        Run(&ParseRenameCategoryResponse, body);
        Run(&ParseMoveCategoryResponse, body);
        Run(&ParseUpdateVideoInfoResponse, body);
        Run(&ParseMoveVideoResponse, body);
        Run(&ParseDeleteVideoResponse, body);
        break;
    case LoginParser:
        Run(&ParseLoginClientResponse, body);
        break;
    case CateTreeParser:
        Run(&ParseGetCateTreeResponse, body);
        break;
    case VideoListParser:
        Run(&ParseListVideoResponse, body);
        break;
    case VideoInfoParser:
        Run(&ParseGetVideoInfoResponse, body);
        break;
    case CoverParsers:
        Run(&ParseChangeVideoCoverResponse, body);
        Run(&ParseUploadVideoCoverResponse, body);
        break;
    case UpdateParser:
        Run(&ParseCheckClientUpdateResponse, body);
        break;
    default:
        break;
    }
    return 0;
}
