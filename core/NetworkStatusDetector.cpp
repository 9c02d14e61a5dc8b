#include "core/NetworkStatusDetector.h"

#include "platform/foundation/Reachability.h"

namespace {

pf::Reachability::Status currentStatus()
{
    return pf::Reachability::forInternetConnection()->currentReachabilityStatus();
}

}

bool NetworkStatusDetector::isReachableViaWiFi()
{
    return currentStatus() == pf::Reachability::Status::ViaWiFi;
}

bool NetworkStatusDetector::isReachableVia3G()
{
    return currentStatus() == pf::Reachability::Status::ViaCellular;
}

bool NetworkStatusDetector::isReachableViaNetwork()
{
    return currentStatus() != pf::Reachability::Status::NotReachable;
}
