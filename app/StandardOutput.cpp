#include "app/StandardOutput.h"

#include "platform/foundation/TerminationSignal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

StandardOutput::StandardOutput(std::FILE* file)
    : m_file(file)
    , m_descriptor(fileno(file))
{
    setp(m_buffer, m_buffer + sizeof m_buffer);
}

void StandardOutput::keepFailure()
{
    if (!m_failure)
        m_failure = errno ? errno : EIO;
}

bool StandardOutput::waitForRoom()
{
    for (;;) {
        pollfd ready[2] = { { m_descriptor, POLLOUT, 0 }, { pf::TerminationSignal::descriptor(), POLLIN, 0 } };
        if (::poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return true; // the write says what is wrong
        }
        // Room, or an error the write will give (a reader gone, a closed descriptor).
        if (ready[0].revents)
            return true;
        if (ready[1].revents)
            return false;
    }
}

bool StandardOutput::writeOut()
{
    const char* next = pbase();
    const char* end = pptr();
    setp(m_buffer, m_buffer + sizeof m_buffer);
    if (m_failure || m_closed)
        return false;
    errno = 0;
    if (std::fflush(m_file) != 0) {
        keepFailure();
        return false;
    }
    while (next < end) {
        if (!waitForRoom()) {
            m_closed = true;
            return false;
        }
        ssize_t written = ::write(m_descriptor, next, std::min<size_t>(static_cast<size_t>(end - next), PIPE_BUF));
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written <= 0) {
            keepFailure();
            return false;
        }
        next += written;
    }
    return true;
}

StandardOutput::int_type StandardOutput::overflow(int_type character)
{
    if (!writeOut())
        return traits_type::eof();
    if (traits_type::eq_int_type(character, traits_type::eof()))
        return traits_type::not_eof(character);
    *pptr() = traits_type::to_char_type(character);
    pbump(1);
    return character;
}

int StandardOutput::sync()
{
    return writeOut() ? 0 : -1;
}

int StandardOutput::finish()
{
    sync();
    if (!m_closed && std::fflush(m_file) != 0)
        keepFailure();
    if (std::ferror(m_file) && !m_failure)
        m_failure = EIO;
    return m_failure;
}
