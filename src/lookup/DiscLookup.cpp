#include "DiscLookup.h"

#include "Endpoints.h"
#include "ServiceAddresses.h"

#include <cstdio>

namespace tunevale
{

namespace
{

// The picture type the bytes begin with; empty for anything else (an error page, say).
std::string pictureType(const std::string& bytes)
{
    if (bytes.rfind("\xFF\xD8\xFF", 0) == 0)
        return "image/jpeg";
    if (bytes.rfind("\x89PNG\r\n\x1A\n", 0) == 0)
        return "image/png";
    if (bytes.rfind("GIF8", 0) == 0)
        return "image/gif";
    return {};
}

LookupState unanswered(const HttpResponse& response, std::string& problem)
{
    if (!response.answered()) {
        problem = response.error;
        return LookupState::Unavailable;
    }
    problem = "the server answered " + std::to_string(response.status);
    return response.status == 404 ? LookupState::NotFound : LookupState::Unavailable;
}

} // namespace

HttpResponse DiscLookup::fetch(const std::string& url, const char* accept)
{
    HttpRequest request;
    request.url = url;
    request.headers = {{"User-Agent", m_userAgent}, {"Accept", accept}};
    request.timeoutMs = m_timeoutMs;
    return m_client.get(request);
}

ReleaseLookup DiscLookup::release(const DiscToc& toc)
{
    ReleaseLookup lookup;
    const std::string discId = musicBrainzDiscId(toc);
    const HttpResponse response =
        fetch(musicBrainzAddress() + "/ws/2/discid/" + discId + "?inc=artist-credits+recordings&fmt=json",
              "application/json");
    if (!response.ok()) {
        lookup.state = unanswered(response, lookup.problem);
        return lookup;
    }
    int audioTracks = 0;
    for (const bool audio : toc.audio)
        audioTracks += audio ? 1 : 0;
    if (const auto release = parseDiscIdAnswer(response.body, discId, audioTracks)) {
        lookup.state = LookupState::Found;
        lookup.release = *release;
    } else if (isDiscIdAnswer(response.body)) {
        lookup.state = LookupState::NotFound;
        lookup.problem = "no release of the disc";
    } else {
        lookup.state = LookupState::Damaged;
        lookup.problem = "the answer could not be read";
    }
    return lookup;
}

TagPicture DiscLookup::frontCover(const std::string& releaseId)
{
    if (releaseId.empty())
        return {};
    const HttpResponse response = fetch(coverArtAddress() + "/release/" + releaseId + "/front", "image/*");
    const std::string type = response.ok() ? pictureType(response.body) : std::string();
    if (type.empty())
        return {};
    return TagPicture{type, std::vector<unsigned char>(response.body.begin(), response.body.end())};
}

AccurateRipLookup DiscLookup::accurateRip(const DiscToc& toc)
{
    AccurateRipLookup lookup;
    lookup.disc = accurateRipDiscIds(toc);
    // The database's own address names its host; the path below it is the same everywhere.
    const std::string standard = accurateRipUrl(lookup.disc);
    const std::string path = standard.substr(standard.find("/accuraterip/"));
    const HttpResponse response = fetch(accurateRipAddress() + path, "application/octet-stream");
    if (!response.ok()) {
        lookup.state = unanswered(response, lookup.problem);
        return lookup;
    }
    if (const auto entries = parseAccurateRipFile(response.body)) {
        lookup.state = LookupState::Found;
        lookup.entries = *entries;
    } else {
        lookup.state = LookupState::Damaged;
        lookup.problem = "the database file is damaged";
    }
    return lookup;
}

std::string AccurateRipLookup::verdict(std::size_t trackIndex, std::uint32_t v1, std::uint32_t v2) const
{
    switch (state) {
    case LookupState::Found:
        return accurateRipVerdict(entries, disc, trackIndex, v1, v2);
    case LookupState::NotFound:
        return "not in database";
    case LookupState::Unavailable:
    case LookupState::Damaged:
        break;
    }
    return "not checked (" + problem + ")";
}

SourceTags tagsWithRelease(SourceTags tags, const DiscRelease* release, int number)
{
    if (release) {
        const auto keep = [](std::string& tag, const std::string& found) {
            if (!found.empty())
                tag = found;
        };
        if (const auto title = release->titles.find(number); title != release->titles.end())
            keep(tags.title, title->second);
        const auto artist = release->trackArtists.find(number);
        keep(tags.artist, artist != release->trackArtists.end() ? artist->second : release->artist);
        keep(tags.albumArtist, release->artist);
        keep(tags.album, release->album);
        keep(tags.date, release->date);
    }
    if (tags.title.empty()) {
        char title[16];
        std::snprintf(title, sizeof title, "Track %02d", number);
        tags.title = title;
    }
    return tags;
}

std::string tunevaleUserAgent(const std::string& version)
{
    return "Tunevale/" + version + " ( " + endpoints::kMakerWebSite + " )";
}

} // namespace tunevale
