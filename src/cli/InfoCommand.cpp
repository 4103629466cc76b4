#include "CdSettings.h"
#include "CommandLine.h"
#include "ConsoleLookup.h"
#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "TerminalText.h"
#include "cd/DiscListing.h"
#include "cd/TrackPath.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tunevale
{

namespace
{

// Tag text on one line: line breaks are shown as "\n" (a CR LF as one), other control characters
// escaped, so that no tag can steer the terminal.
std::string oneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            line += text[i];
    return escapedText(line);
}

std::string numberPair(unsigned number, unsigned total)
{
    std::string text = number ? std::to_string(number) : std::string();
    if (total)
        text += "/" + std::to_string(total);
    return text;
}

void printTags(const SourceTags& tags)
{
    const std::pair<const char*, std::string> lines[] = {
        {"Title", tags.title},
        {"Artist", tags.artist},
        {"Album", tags.album},
        {"Album Artist", tags.albumArtist},
        {"Track", numberPair(tags.track, tags.trackTotal)},
        {"Disc", numberPair(tags.disc, tags.discTotal)},
        {"Date", tags.date},
        {"Genre", tags.genre},
        {"Composer", tags.composer},
        {"Comment", tags.comment},
    };
    for (const auto& [name, value] : lines)
        if (!value.empty())
            std::printf("%s: %s\n", name, oneLine(value).c_str());
    if (!tags.frontCover.empty())
        std::printf("Cover: %s, %zu bytes\n", escapedText(tags.frontCover.mimeType).c_str(),
                    tags.frontCover.bytes.size());
}

// "PATH<tab>error=CODE<tab>TEXT", with what the engine said beyond the code after ": ".
void printError(const std::string& path, int code, const std::string& said)
{
    std::string text = EngineErrorText(code);
    if (!said.empty())
        text += ": " + said;
    std::printf("%s\terror=%d\t%s\n", escapedText(path).c_str(), code, escapedText(text).c_str());
}

// A disc's track looked up online: its tags come from the release (else the disc, else its
// number) and its AccurateRip checksums are checked.
struct OnlineTrack {
    const OnlineDisc& disc;
    const DiscToc& toc;
    int number;
};

// Decodes the whole file and prints one line: the format and the decoded length, or the error;
// then one "Name: value" line for each tag the file carries, and for a disc track looked up
// online its AccurateRip verdict.
bool printInfo(Engine& engine, const std::string& path, std::vector<unsigned char>& buffer,
               const OnlineTrack* online = nullptr)
{
    EngineHandle handle = engine.StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    const int error = engine.ErrorGetCode();
    const std::string said = engine.ErrorGetMessage();
    // Tracker modules open only as music, as in the player and the converter.
    if (!handle)
        handle = engine.MusicLoad(path, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode, 0);
    if (!handle) {
        printError(path, error, said);
        return false;
    }
    ChannelInfo info;
    engine.ChannelGetInfo(handle, info);
    SourceTags tags;
    engine.ChannelGetTags(handle, tags);
    std::optional<AccurateRipChecksum> checksum;
    if (online)
        checksum = discTrackChecksum(online->toc, online->number, info, engine.ChannelGetLength(handle, 0));
    std::uint64_t bytes = 0;
    while (engine.ChannelIsActive(handle) != ChannelState::Stopped) {
        const std::int32_t got =
            engine.ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (got < 0) {
            // The stream broke off: what was decoded is not the whole file.
            const int failure = engine.ErrorGetCode();
            const std::string where = engine.ErrorGetMessage();
            engine.StreamFree(handle);
            printError(path, failure, where);
            return false;
        }
        if (got == 0)
            break;
        if (checksum)
            checksum->add(buffer.data(), static_cast<std::size_t>(got));
        bytes += static_cast<std::uint64_t>(got);
    }
    const double seconds = engine.ChannelBytes2Seconds(handle, bytes);
    engine.StreamFree(handle);
    std::printf("%s\trate=%u\tchannels=%u\tbits=%u\tbytes=%llu\tseconds=%.3f\n", escapedText(path).c_str(), info.freq,
                info.chans, (info.flags & StreamFlag::Sample8Bits) ? 8u : 16u, static_cast<unsigned long long>(bytes),
                seconds);
    if (online) {
        tags = tagsWithRelease(tags, online->disc.found(), online->number);
        if (tags.frontCover.empty())
            tags.frontCover = online->disc.cover;
    }
    printTags(tags);
    if (checksum)
        std::printf("AccurateRip: %s\n",
                    escapedText(online->disc.accurateRip.verdict(
                                    static_cast<std::size_t>(online->number - online->toc.firstTrack), checksum->v1(),
                                    checksum->v2()))
                        .c_str());
    return true;
}

// A disc (a cue sheet, a drive): one line with its count of audio tracks and its MusicBrainz and
// freedb disc IDs, then, looked up online, its release's line, then each track as printInfo prints
// a file.
bool printDiscInfo(Engine& engine, const std::string& disc, std::vector<unsigned char>& buffer, bool lookUp)
{
    DiscListing listing;
    int error = 0;
    std::string message;
    if (!listDiscTracks(disc, decodingOpener(), listing, error, message)) {
        printError(disc, error, message);
        return false;
    }
    std::printf("%s\ttracks=%zu\tmusicbrainz=%s\tcddb=%08x\n", escapedText(disc).c_str(), listing.tracks.size(),
                musicBrainzDiscId(listing.toc).c_str(), static_cast<unsigned>(cddbDiscId(listing.toc)));
    std::optional<OnlineDisc> online;
    if (lookUp) {
        online = lookUpDiscOnline(listing.toc);
        std::printf("%s\n", releaseLine(online->release).c_str());
    }
    bool allDecoded = true;
    for (const ListedTrack& track : listing.tracks) {
        const auto number = parseTrackPath(track.path);
        bool decoded = false;
        if (online && number) {
            const OnlineTrack onlineTrack{*online, listing.toc, number->number};
            decoded = printInfo(engine, track.path, buffer, &onlineTrack);
        } else {
            decoded = printInfo(engine, track.path, buffer);
        }
        allDecoded = decoded && allDecoded;
    }
    return allDecoded;
}

const CommandSyntax& infoSyntax()
{
    static const CommandSyntax syntax{
        "info",
        "FILE...",
        "Decodes each file whole and prints one line per file: the path, then the sample rate, channels,\n"
        "bits, decoded bytes and seconds, or the engine's error code and its text. A cue sheet or a CD\n"
        "drive first gets a line with its count of audio tracks and its MusicBrainz and freedb disc IDs,\n"
        "then each of its tracks (DISC/TrackNN.cda) is decoded; such a track path takes one track.\n"
        "Unless --no-lookup is given or the setting CdOnlineLookup is off, a disc is looked up online:\n"
        "a \"MusicBrainz:\" line names its release, whose titles, artists, album, date and front cover\n"
        "the tracks show (else the disc's CD-TEXT, else \"Track NN\"), and each track gets an\n"
        "\"AccurateRip:\" line checking its checksums against the AccurateRip database.",
        {QCommandLineOption(QStringList{"no-lookup"}, "Do not look discs up online.")},
        "  0  every file decoded\n"
        "  1  a file could not be decoded (or is missing)\n"
        "  2  wrong arguments\n"};
    return syntax;
}

} // namespace

// tunevale-cli info FILE...
int InfoCommand(const std::vector<std::string>& arguments)
{
    CommandLine line(infoSyntax());
    if (const auto status = line.parse(arguments))
        return *status;
    const auto files = line.positionalArguments();
    if (files.empty())
        return usageError("info", "no FILE given");
    const auto engine = makeEngine();
    // Device 0: decoding only, no sound card needed.
    if (!engine->Init(0, 44100, 0)) {
        const int error = engine->ErrorGetCode();
        std::fprintf(stderr, "tunevale-cli: the audio engine did not start: %d %s\n", error,
                     EngineErrorText(error).c_str());
        return 1;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    std::vector<unsigned char> buffer(256 * 1024);
    const bool lookUp = !line.isSet("no-lookup") && loadCdSettings(CRegister(CRegister::registryFile())).onlineLookup;
    bool allDecoded = true;
    for (const auto& path : files)
        allDecoded =
            (isDiscPath(path) ? printDiscInfo(*engine, path, buffer, lookUp) : printInfo(*engine, path, buffer)) &&
            allDecoded;
    engine->Free();
    return allDecoded ? 0 : 1;
}

} // namespace tunevale
