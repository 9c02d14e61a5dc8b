#pragma once

// Quick tests of the network the device is on. Each asks a fresh probe for the internet
// connection once; no notifier is left running behind it.
class NetworkStatusDetector {
public:
    static bool isReachableViaWiFi();
    static bool isReachableVia3G();
    static bool isReachableViaNetwork();
};
