#include "tools/peers/BlipService.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/StatsService.h"

namespace peers {

// One line per vendor, in the order of their prefixes.
void addAllVendorServices(PeersServer& server)
{
    server.addService(std::make_shared<StatsService>());
    server.addService(std::make_shared<BlipService>());
}

}
