#include "LastLines.h"

#include <utility>

namespace tunevale
{

namespace
{

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The last size bytes of text, moved forward past a cut UTF-8 sequence.
std::string keepEnd(std::string text, std::size_t size)
{
    if (text.size() <= size)
        return text;
    std::size_t from = text.size() - size;
    while (from < text.size() && isUtf8Continuation(text[from]))
        ++from;
    return text.substr(from);
}

} // namespace

LastLines::LastLines(std::size_t maxLines, std::size_t maxBytes) : m_maxLines(maxLines), m_maxBytes(maxBytes) {}

void LastLines::append(std::string_view bytes)
{
    for (const char c : bytes) {
        if (c == '\n') {
            endLine();
            continue;
        }
        if (c == '\r') {
            if (!m_partial.empty())
                m_redrawn = std::exchange(m_partial, {});
            continue;
        }
        m_partial += c;
        // Only the end of an endless line is kept; trimming in halves keeps this linear.
        if (m_partial.size() >= 2 * m_maxBytes)
            m_partial.erase(0, m_partial.size() - m_maxBytes);
    }
}

void LastLines::endLine()
{
    std::string line = keepEnd(currentLine(), m_maxBytes);
    m_partial.clear();
    m_redrawn.clear();
    if (line.empty())
        return;
    m_lines.push_back(std::move(line));
    while (m_lines.size() > m_maxLines)
        m_lines.pop_front();
}

std::string LastLines::text() const
{
    std::deque<std::string> lines = m_lines;
    if (!currentLine().empty()) {
        lines.push_back(keepEnd(currentLine(), m_maxBytes));
        if (lines.size() > m_maxLines)
            lines.pop_front();
    }
    std::string joined;
    for (const auto& line : lines) {
        if (!joined.empty())
            joined += '\n';
        joined += line;
    }
    return keepEnd(std::move(joined), m_maxBytes);
}

} // namespace tunevale
