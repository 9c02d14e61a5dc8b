#include "platform/foundation/ServerSocketOptions.h"

#include <sys/socket.h>

namespace pf {

void ServerSocketOptions::apply(int socket)
{
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}
