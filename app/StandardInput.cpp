#include "app/StandardInput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

StandardInput::StandardInput(int descriptor, int wakeUp)
    : m_descriptor(descriptor)
    , m_wakeUp(wakeUp)
{
    setg(m_buffer, m_buffer, m_buffer);
}

StandardInput::int_type StandardInput::underflow()
{
    while (!m_ended) {
        pollfd ready[2] = { { m_descriptor, POLLIN, 0 }, { m_wakeUp, POLLIN, 0 } };
        if (::poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready[1].revents)
            break;
        ssize_t count = ::read(m_descriptor, m_buffer, sizeof m_buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0)
            break;
        setg(m_buffer, m_buffer, m_buffer + count);
        return traits_type::to_int_type(m_buffer[0]);
    }
    m_ended = true;
    return traits_type::eof();
}
