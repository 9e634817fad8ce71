#include "platform/TerminalProgressDisplay.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace platform {

TerminalProgressDisplay::TerminalProgressDisplay(std::FILE* out, int barWidth)
    : m_out(out), m_barWidth(barWidth), m_tty(isatty(fileno(out)) != 0)
{
}

TerminalProgressDisplay::~TerminalProgressDisplay()
{
    finish();
}

void TerminalProgressDisplay::setLabelText(const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_label = text;
    m_lastDrawnPercent = -2;
    redrawLocked();
}

void TerminalProgressDisplay::setMode(Mode mode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mode = mode;
    if (mode == Mode::Indeterminate)
        m_percent = -1;
    m_lastDrawnPercent = -2;
    redrawLocked();
}

void TerminalProgressDisplay::setProgress(float progress)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_percent = std::clamp(int(progress * 100.0f + 0.5f), 0, 100);
    redrawLocked();
}

void TerminalProgressDisplay::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_drawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

void TerminalProgressDisplay::redrawLocked()
{
    const int percent = m_mode == Mode::Determinate ? std::max(m_percent, 0) : -1;
    if (percent == m_lastDrawnPercent)
        return; // one redraw per percent keeps the terminal quiet
    m_lastDrawnPercent = percent;
    std::string line("\r");
    line.append(m_label.toStdString());
    if (percent >= 0) {
        const int filled = percent * m_barWidth / 100;
        line.append(" [");
        line.append(size_t(filled), '#');
        line.append(size_t(m_barWidth - filled), ' ');
        line.append("] ");
        char number[16];
        std::snprintf(number, sizeof number, "%3d%%", percent);
        line += number;
    }
    // Clear what a longer previous line left.
    if (m_tty)
        line.append("\033[K");
    else
        line.append(size_t(std::max(0, m_lastLength - int(line.size()))), ' ');
    m_lastLength = int(line.size());
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = true;
}

} // namespace platform
