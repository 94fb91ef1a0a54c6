#include "tus_service.h"

// Placeholder until the upload endpoint lands: registers no routes, so the
// server answers 404 below kTusBasePath.
namespace orvsrv {

struct TusService::Impl
{
    TusHooks& hooks;
    TusConfig config;
};

TusService::TusService(TusHooks& hooks, TusConfig config) : d(new Impl{hooks, std::move(config)}) {}
TusService::~TusService() = default;
void TusService::Install(httplib::Server&) {}
void TusService::FlipByteOfNextCompletedUpload() {}

} // namespace orvsrv
