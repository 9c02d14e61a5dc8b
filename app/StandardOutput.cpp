#include "app/StandardOutput.h"

#include <cerrno>

StandardOutput::StandardOutput(std::FILE* file)
    : m_file(file)
{
}

void StandardOutput::keepFailure()
{
    if (!m_failure)
        m_failure = errno ? errno : EIO;
}

StandardOutput::int_type StandardOutput::overflow(int_type character)
{
    if (traits_type::eq_int_type(character, traits_type::eof()))
        return traits_type::not_eof(character);
    errno = 0;
    if (std::fputc(traits_type::to_char_type(character), m_file) == EOF) {
        keepFailure();
        return traits_type::eof();
    }
    return character;
}

std::streamsize StandardOutput::xsputn(const char* text, std::streamsize count)
{
    errno = 0;
    size_t written = std::fwrite(text, 1, static_cast<size_t>(count), m_file);
    if (written < static_cast<size_t>(count))
        keepFailure();
    return static_cast<std::streamsize>(written);
}

int StandardOutput::sync()
{
    errno = 0;
    if (std::fflush(m_file) == 0)
        return 0;
    keepFailure();
    return -1;
}

int StandardOutput::finish()
{
    sync();
    if (std::ferror(m_file) && !m_failure)
        m_failure = EIO;
    return m_failure;
}
