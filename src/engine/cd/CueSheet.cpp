#include "CueSheet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace tunevale
{

namespace
{

std::string upper(std::string_view word)
{
    std::string out(word);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

// Splits a line into words; a double-quoted word keeps its spaces. False for an unclosed quote.
bool splitWords(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos)
                return false;
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t')
                ++end;
            words.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

std::optional<int> number(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// mm:ss:ff with seconds below 60 and frames below 75; minutes may exceed 99 on long images.
std::optional<std::int64_t> frames(std::string_view text)
{
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const auto minutes = number(text.substr(0, first));
    const auto seconds = number(text.substr(first + 1, second - first - 1));
    const auto rest = number(text.substr(second + 1));
    if (!minutes || !seconds || !rest || *seconds >= 60 || *rest >= CdFramesPerSecond)
        return std::nullopt;
    return (std::int64_t(*minutes) * 60 + *seconds) * CdFramesPerSecond + *rest;
}

// Bytes per sector of a track mode; audio and the raw data modes use whole 2352-byte sectors.
std::optional<int> sectorSize(const std::string& mode)
{
    if (mode == "AUDIO" || mode == "MODE1/2352" || mode == "MODE2/2352" || mode == "CDI/2352")
        return 2352;
    if (mode == "MODE1/2048" || mode == "MODE2/2048")
        return 2048;
    if (mode == "MODE2/2336" || mode == "CDI/2336")
        return 2336;
    if (mode == "MODE2/2324")
        return 2324;
    if (mode == "CDG")
        return 2448;
    return std::nullopt;
}

class Parser
{
public:
    explicit Parser(CueSheet& sheet) : m_sheet(sheet) {}

    // One line; false with m_error set when it is damaged.
    bool line(const std::vector<std::string>& words)
    {
        const std::string command = upper(words[0]);
        if (command == "REM")
            return remark(words);
        if (command == "FILE")
            return file(words);
        if (command == "TRACK")
            return track(words);
        if (command == "INDEX")
            return index(words);
        if (command == "PREGAP" || command == "POSTGAP")
            return gap(command, words);
        if (command == "TITLE" || command == "PERFORMER" || command == "SONGWRITER" || command == "ISRC")
            return text(command, words);
        if (command == "CATALOG") {
            m_sheet.catalog = words.size() > 1 ? words[1] : "";
            return true;
        }
        // FLAGS, CDTEXTFILE and the commands of other tools carry nothing the tracks need.
        return true;
    }

    bool finish()
    {
        if (m_sheet.tracks.empty())
            return fail("the sheet has no track");
        return checkTrackHasStart(false);
    }

    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& message)
    {
        m_error = message;
        return false;
    }

    bool remark(const std::vector<std::string>& words)
    {
        if (words.size() < 3 || !m_sheet.tracks.empty())
            return true;
        const std::string key = upper(words[1]);
        std::string value = words[2];
        for (std::size_t i = 3; i < words.size(); ++i)
            value += " " + words[i];
        if (key == "DATE")
            m_sheet.date = value;
        else if (key == "GENRE")
            m_sheet.genre = value;
        else if (key == "COMMENT")
            m_sheet.comment = value;
        else if (key == "DISCNUMBER")
            m_sheet.discNumber = static_cast<unsigned>(number(value).value_or(0));
        else if (key == "TOTALDISCS")
            m_sheet.discTotal = static_cast<unsigned>(number(value).value_or(0));
        return true;
    }

    bool file(const std::vector<std::string>& words)
    {
        if (words.size() < 2 || words[1].empty())
            return fail("FILE names no file");
        const std::string type = words.size() > 2 ? upper(words.back()) : "WAVE";
        CueFile entry{words[1], CueFileType::Decoded};
        if (type == "BINARY")
            entry.type = CueFileType::Binary;
        else if (type == "MOTOROLA")
            entry.type = CueFileType::Motorola;
        if (!checkTrackHasStart(true))
            return false;
        m_sheet.files.push_back(std::move(entry));
        return true;
    }

    bool track(const std::vector<std::string>& words)
    {
        if (m_sheet.files.empty())
            return fail("TRACK before any FILE");
        const auto trackNumber = words.size() >= 3 ? number(words[1]) : std::nullopt;
        if (!trackNumber || *trackNumber < 1 || *trackNumber > 99)
            return fail("TRACK has no number from 1 to 99");
        if (!m_sheet.tracks.empty() && *trackNumber != m_sheet.tracks.back().number + 1)
            return fail("TRACK " + words[1] + " does not follow track " + std::to_string(m_sheet.tracks.back().number));
        if (!checkTrackHasStart(false))
            return false;
        const std::string mode = upper(words[2]);
        const auto size = sectorSize(mode);
        if (!size)
            return fail("TRACK has the unknown mode " + words[2]);
        CueTrack entry;
        entry.number = *trackNumber;
        entry.audio = mode == "AUDIO";
        entry.sectorSize = *size;
        m_sheet.tracks.push_back(std::move(entry));
        return true;
    }

    bool index(const std::vector<std::string>& words)
    {
        if (m_sheet.tracks.empty())
            return fail("INDEX outside a TRACK");
        const auto indexNumber = words.size() >= 3 ? number(words[1]) : std::nullopt;
        const auto position = words.size() >= 3 ? frames(words[2]) : std::nullopt;
        if (!indexNumber || *indexNumber > 99 || !position)
            return fail("INDEX is not \"INDEX nn mm:ss:ff\"");
        CueTrack& current = m_sheet.tracks.back();
        const std::size_t fileIndex = m_sheet.files.size() - 1;
        if (!current.indexes.empty() && *indexNumber <= current.indexes.back().number)
            return fail("INDEX " + words[1] + " does not follow index " +
                        std::to_string(current.indexes.back().number));
        if (*indexNumber > 1 && (current.indexes.empty() || current.indexes.back().number < 1))
            return fail("INDEX " + words[1] + " comes before INDEX 01");
        if (m_last && m_last->file == fileIndex && *position < m_last->frame)
            return fail("INDEX " + words[2] + " lies before the previous index");
        current.indexes.push_back(CueIndex{*indexNumber, fileIndex, *position});
        m_last = current.indexes.back();
        return true;
    }

    bool gap(const std::string& command, const std::vector<std::string>& words)
    {
        if (m_sheet.tracks.empty())
            return fail(command + " outside a TRACK");
        const auto length = words.size() >= 2 ? frames(words[1]) : std::nullopt;
        if (!length)
            return fail(command + " is not \"" + command + " mm:ss:ff\"");
        (command == "PREGAP" ? m_sheet.tracks.back().pregapFrames : m_sheet.tracks.back().postgapFrames) = *length;
        return true;
    }

    bool text(const std::string& command, const std::vector<std::string>& words)
    {
        std::string value = words.size() > 1 ? words[1] : "";
        for (std::size_t i = 2; i < words.size(); ++i)
            value += " " + words[i];
        const bool disc = m_sheet.tracks.empty();
        if (command == "ISRC") {
            if (!disc)
                m_sheet.tracks.back().isrc = value;
        } else if (command == "TITLE") {
            (disc ? m_sheet.title : m_sheet.tracks.back().title) = value;
        } else if (command == "PERFORMER") {
            (disc ? m_sheet.performer : m_sheet.tracks.back().performer) = value;
        } else {
            (disc ? m_sheet.songwriter : m_sheet.tracks.back().songwriter) = value;
        }
        return true;
    }

    // The track being closed (by a new TRACK, FILE or the end) must have its INDEX 01, except that
    // a FILE may follow its INDEX 00 (its INDEX 01 then lies in the new file).
    bool checkTrackHasStart(bool forFile)
    {
        if (m_sheet.tracks.empty())
            return true;
        const CueTrack& current = m_sheet.tracks.back();
        for (const CueIndex& entry : current.indexes)
            if (entry.number == 1)
                return true;
        if (forFile && !current.indexes.empty())
            return true;
        return fail("TRACK " + std::to_string(current.number) + " has no INDEX 01");
    }

    CueSheet& m_sheet;
    std::optional<CueIndex> m_last;
    std::string m_error;
};

} // namespace

const CueIndex& CueTrack::start() const
{
    return *std::find_if(indexes.begin(), indexes.end(), [](const CueIndex& entry) { return entry.number == 1; });
}

bool parseCueSheet(std::string_view text, CueSheet& sheet, std::string& error)
{
    sheet = CueSheet{};
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Parser parser(sheet);
    std::vector<std::string> words;
    int lineNumber = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool binary = std::any_of(line.begin(), line.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 && byte != '\t';
        });
        std::string lineError;
        if (binary)
            lineError = "the line holds bytes that are no text";
        else if (!splitWords(line, words))
            lineError = "a quote is not closed";
        else if (!words.empty() && !parser.line(words))
            lineError = parser.error();
        if (!lineError.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return false;
        }
    }
    if (!parser.finish()) {
        error = parser.error();
        return false;
    }
    return true;
}

} // namespace tunevale
