#include "tools/peers/BlipService.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/StatsService.h"

#include "tools/peers/LMConnectCgiService.h"
#include "tools/peers/LMOpenApiService.h"
#include "tools/peers/LMPolicyService.h"
#include "tools/peers/LMPresenceService.h"
#include "tools/peers/LMPreviewService.h"
#include "tools/peers/LMReportService.h"
#include "tools/peers/LMScriptUpdateService.h"
#include "tools/peers/LMStatUploadService.h"
#include "tools/peers/LMWebPageService.h"

namespace peers {

// One line per vendor, in the order of their prefixes.
void addAllVendorServices(PeersServer& server)
{
    server.addService(std::make_shared<StatsService>());
    server.addService(std::make_shared<BlipService>());
    server.addService(std::make_shared<LMConnectCgiService>());
    server.addService(std::make_shared<LMOpenApiService>());
    server.addService(std::make_shared<LMScriptUpdateService>());
    server.addService(std::make_shared<LMPolicyService>());
    server.addService(std::make_shared<LMReportService>());
    server.addService(std::make_shared<LMStatUploadService>());
    server.addService(std::make_shared<LMPreviewService>());
    server.addService(std::make_shared<LMPresenceService>());
    server.addService(std::make_shared<LMWebPageService>());
}

}
