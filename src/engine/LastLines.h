#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace tunevale
{

// The last lines of a text stream, bounded in count and bytes so that a chatty program cannot make
// it grow. A line ends at '\n'; text after a '\r' replaces the line, as on a terminal, so that a
// progress display leaves only its last state. Empty lines are dropped, and a line longer than the
// byte limit keeps its end.
class LastLines
{
public:
    explicit LastLines(std::size_t maxLines = 4, std::size_t maxBytes = 1024);

    void append(std::string_view bytes);
    // The kept lines joined by '\n', an unfinished last line included; at most maxBytes bytes,
    // never starting inside a UTF-8 sequence.
    std::string text() const;

private:
    void endLine();
    const std::string& currentLine() const { return m_partial.empty() ? m_redrawn : m_partial; }

    const std::size_t m_maxLines;
    const std::size_t m_maxBytes;
    std::deque<std::string> m_lines;
    std::string m_partial; // the line being written
    std::string m_redrawn; // the line as it stood at its last '\r', shown while m_partial is empty
};

} // namespace tunevale
