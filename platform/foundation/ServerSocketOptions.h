#pragma once

namespace pf {

// The options of a socket a local HTTP server listens on (the portal, the vendor services and
// the tests' server).
//
// The HTTP library's own defaults let any number of servers bind one port (SO_REUSEPORT); the
// kernel then spreads the connections among them, so two servers, each with its own logins,
// bookings and codes, would answer at random. These options keep only SO_REUSEADDR, so a
// server may take a port an ended one left in TIME_WAIT at once, while a bind to a port another
// server listens on fails.
class ServerSocketOptions {
public:
    // Sets the options on `socket`, a socket not yet bound.
    static void apply(int socket);
};

}
