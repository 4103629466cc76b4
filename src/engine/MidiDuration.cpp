#include "MidiDuration.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace tunevale
{

namespace
{

struct Reader {
    std::string_view bytes;
    std::size_t at = 0;
    bool failed = false;

    std::uint32_t byte()
    {
        if (at >= bytes.size()) {
            failed = true;
            return 0;
        }
        return static_cast<unsigned char>(bytes[at++]);
    }
    std::uint32_t bigEndian(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 8) | byte();
        return value;
    }
    std::uint32_t variableLength()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t b = byte();
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return value;
        }
        failed = true;
        return value;
    }
    void skip(std::uint64_t count)
    {
        if (count > bytes.size() - at) {
            failed = true;
            at = bytes.size();
        } else {
            at += static_cast<std::size_t>(count);
        }
    }
};

} // namespace

std::optional<double> midiDurationSeconds(std::string_view smf)
{
    Reader header{smf};
    if (smf.substr(0, 4) != "MThd")
        return std::nullopt;
    header.skip(4);
    const std::uint32_t headerSize = header.bigEndian(4);
    header.bigEndian(2); // format
    const std::uint32_t tracks = header.bigEndian(2);
    const std::uint32_t division = header.bigEndian(2);
    if (header.failed || headerSize < 6 || division == 0)
        return std::nullopt;
    header.at = 8 + headerSize;

    std::map<std::uint64_t, std::uint32_t> tempos; // tick -> microseconds per quarter note
    std::uint64_t lastTick = 0;
    for (std::uint32_t track = 0; track < tracks && header.at + 8 <= smf.size(); ++track) {
        const std::string_view id = smf.substr(header.at, 4);
        header.skip(4);
        const std::uint32_t size = header.bigEndian(4);
        const std::size_t end = std::min<std::size_t>(smf.size(), header.at + std::size_t(size));
        if (id != "MTrk") {
            header.at = end;
            continue;
        }
        Reader events{smf.substr(0, end), header.at};
        std::uint64_t tick = 0;
        std::uint32_t running = 0;
        while (events.at < end && !events.failed) {
            tick += events.variableLength();
            std::uint32_t status = events.byte();
            if (status < 0x80) {
                // Running status: this byte was the first data byte.
                --events.at;
                status = running;
            }
            if (status == 0xFF) {
                const std::uint32_t type = events.byte();
                const std::uint32_t length = events.variableLength();
                if (type == 0x51 && length == 3)
                    tempos[tick] = events.bigEndian(3);
                else
                    events.skip(length);
                if (type == 0x2F) {
                    lastTick = std::max(lastTick, tick);
                    break;
                }
            } else if (status == 0xF0 || status == 0xF7) {
                events.skip(events.variableLength());
            } else if (status >= 0x80) {
                running = status;
                const std::uint32_t kind = status & 0xF0;
                events.skip(kind == 0xC0 || kind == 0xD0 ? 1 : 2);
            } else {
                break; // data without any status: damaged track
            }
            if (!events.failed)
                lastTick = std::max(lastTick, tick);
        }
        header.at = end;
    }

    if (division & 0x8000) {
        // SMPTE time: frames per second times ticks per frame.
        const int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
        const int ticksPerFrame = static_cast<int>(division & 0xFF);
        if (framesPerSecond <= 0 || ticksPerFrame <= 0)
            return std::nullopt;
        return static_cast<double>(lastTick) / (framesPerSecond * ticksPerFrame);
    }
    double seconds = 0;
    std::uint64_t tick = 0;
    std::uint32_t tempo = 500000;
    for (const auto& [at, value] : tempos) {
        if (at >= lastTick)
            break;
        seconds += static_cast<double>(at - tick) * tempo / (1e6 * division);
        tick = at;
        tempo = value;
    }
    seconds += static_cast<double>(lastTick - tick) * tempo / (1e6 * division);
    return seconds;
}

} // namespace tunevale
