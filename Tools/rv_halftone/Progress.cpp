#include "Progress.h"

#include <unistd.h>

#include <cstdio>

Progress::Progress(std::string what)
    : m_what(std::move(what)), m_terminal(isatty(STDERR_FILENO) != 0)
{
}

Progress::~Progress()
{
    if (m_terminal && m_lastPercent >= 0)
        std::fprintf(stderr, "\r\033[K");
}

void Progress::Update(long long done, long long total)
{
    if (!m_terminal || total <= 0)
        return;
    const int percent = static_cast<int>(100 * done / total);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    std::fprintf(stderr, "\r\033[K%s: %d%%", m_what.c_str(), percent);
    std::fflush(stderr);
}
