#include "app/StandardOutput.h"

#include "platform/foundation/TerminationSignal.h"

#include <cerrno>

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
    switch (pf::TerminationSignal::writeAll(m_descriptor, next, static_cast<size_t>(end - next))) {
    case pf::TerminationSignal::Write::Written:
        break;
    case pf::TerminationSignal::Write::GaveWay:
        m_closed = true;
        return false;
    case pf::TerminationSignal::Write::Failed:
        keepFailure();
        return false;
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
