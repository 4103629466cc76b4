#pragma once

#include "ForwardingEngine.h"
#include "OnlineDisc.h"
#include "cd/AccurateRipChecksum.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tunevale
{

// The engine of a conversion run whose discs were looked up online: the tracks of those discs
// show the release's tags (else their own, else "Track NN") and the front cover, and the PCM
// delivered from each is checksummed for the AccurateRip verdict. Tracks of other discs (not
// looked up, or not yet) keep their own tags, else "Track NN". Calls may come from several jobs'
// threads at once.
class LookedUpDiscsEngine final : public ForwardingEngine
{
public:
    explicit LookedUpDiscsEngine(std::unique_ptr<Engine> real) : ForwardingEngine(*real), m_owned(std::move(real)) {}
    // Over an engine that outlives this one.
    explicit LookedUpDiscsEngine(Engine& real) : ForwardingEngine(real) {}

    void addDisc(const std::string& disc, const DiscToc& toc, OnlineDisc online);
    // The verdict on a track read whole since it was opened; empty for other sources and when the
    // database could not be reached.
    std::string accurateRipVerdict(const std::string& trackPath) const;
    // The tags MusicBrainz gives a track of a disc it knows; none before the disc's lookup, for
    // discs it does not know and for other paths.
    std::optional<SourceTags> releaseTags(const std::string& trackPath) const;

    EngineHandle StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                  std::uint32_t flags) override;
    bool StreamFree(EngineHandle handle) override;
    bool ChannelGetTags(EngineHandle handle, SourceTags& tags) override;
    std::int32_t ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length) override;

private:
    struct Disc {
        DiscToc toc;
        OnlineDisc online;
    };
    struct OpenTrack {
        const Disc* disc = nullptr; // none when the disc was not looked up
        int number = 0;
        std::string path;
        std::optional<AccurateRipChecksum> checksum; // none unless 16-bit stereo CD audio
        std::uint64_t expected = 0;                  // bytes of the whole track
        std::uint64_t delivered = 0;
    };

    std::unique_ptr<Engine> m_owned;
    mutable std::mutex m_mutex;
    std::map<std::string, Disc> m_discs;
    std::map<EngineHandle, OpenTrack> m_open;
    std::map<std::string, std::string> m_verdicts; // by track path
};

} // namespace tunevale
