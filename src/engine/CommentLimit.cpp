#include "CommentLimit.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <map>
#include <strings.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

constexpr std::uint64_t NoPage = std::numeric_limits<std::uint64_t>::max();
// Ogg pages are looked at only until every stream's headers have passed, and never further than
// this: the headers of a real file fit in its first pages.
constexpr int MaxOggPages = 1 << 20;
constexpr std::size_t OggHeaderSize = 27;
// Packets of one Ogg stream looked at for comment headers (Ogg FLAC has one per metadata block).
constexpr int MaxHeaderPackets = MaxFlacBlocks;

std::uint32_t littleEndian32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::string littleEndianBytes(std::uint32_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
            static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
}

bool readFully(int fd, std::uint64_t offset, void* out, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, unreflected, starting at 0.
std::uint32_t oggCrc(const std::string& page)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t value = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
            entries[i] = value;
        }
        return entries;
    }();
    std::uint32_t crc = 0;
    for (const char c : page)
        crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(c)) & 0xFF];
    return crc;
}

// Where a run of a comment list's bytes lies in the file, and in which Ogg page.
struct Extent {
    std::uint64_t listOffset;
    std::uint64_t fileOffset;
    std::uint64_t length;
    std::uint64_t pageOffset; // NoPage in a FLAC file
    std::uint64_t pageLength;
};

// The bytes of one comment list (vendor length, vendor, count, comments), which in Ogg may run
// over many pages.
class CommentList
{
public:
    CommentList(int fd, std::vector<Extent> extents) : m_fd(fd), m_extents(std::move(extents)) {}

    std::uint64_t length() const
    {
        return m_extents.empty() ? 0 : m_extents.back().listOffset + m_extents.back().length;
    }

    bool read(std::uint64_t at, unsigned char* out, std::size_t size) const
    {
        for (const Piece& piece : pieces(at, size)) {
            if (!readFully(m_fd, piece.fileOffset, out, piece.length))
                return false;
            out += piece.length;
            size -= piece.length;
        }
        return size == 0;
    }

    struct Piece {
        std::uint64_t fileOffset;
        std::size_t length;
        const Extent* extent;
    };
    // The file's runs that hold size bytes of the list from at; fewer bytes where the list ends.
    std::vector<Piece> pieces(std::uint64_t at, std::size_t size) const
    {
        std::vector<Piece> found;
        auto extent = std::upper_bound(m_extents.begin(), m_extents.end(), at,
                                       [](std::uint64_t offset, const Extent& e) { return offset < e.listOffset; });
        if (extent == m_extents.begin())
            return found;
        for (--extent; extent != m_extents.end() && size > 0; ++extent) {
            if (at >= extent->listOffset + extent->length)
                continue;
            const std::uint64_t into = at - extent->listOffset;
            const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(size, extent->length - into));
            found.push_back({extent->fileOffset + into, length, &*extent});
            at += length;
            size -= length;
        }
        return found;
    }

private:
    int m_fd;
    std::vector<Extent> m_extents;
};

struct Budget {
    std::uint32_t comments = MaxComments;
    std::uint64_t text = MaxCommentText;
};

// The place of a list's comment count and the count that keeps it within the budget; nothing when
// the list keeps every comment it holds.
struct Cut {
    std::uint64_t countAt;
    std::uint32_t kept;
};

std::optional<Cut> cutOf(const CommentList& list, Budget& budget)
{
    unsigned char field[4];
    if (!list.read(0, field, 4))
        return std::nullopt;
    const std::uint64_t countAt = 4 + std::uint64_t(littleEndian32(field));
    if (!list.read(countAt, field, 4))
        return std::nullopt;
    const std::uint32_t count = littleEndian32(field);
    static constexpr char Picture[] = "METADATA_BLOCK_PICTURE=";
    constexpr std::size_t PictureSize = sizeof Picture - 1;
    std::uint64_t at = countAt + 4;
    for (std::uint32_t kept = 0; kept < count; ++kept) {
        unsigned char head[4 + PictureSize];
        if (!list.read(at, head, 4))
            return std::nullopt; // the list ends here: the demuxer stops here too
        const std::uint32_t length = littleEndian32(head);
        if (at + 4 + length > list.length())
            return std::nullopt;
        const bool picture = length >= PictureSize && list.read(at + 4, head + 4, PictureSize) &&
                             ::strncasecmp(reinterpret_cast<const char*>(head + 4), Picture, PictureSize) == 0;
        if (budget.comments == 0 || (!picture && length > budget.text))
            return Cut{countAt, kept};
        --budget.comments;
        if (!picture)
            budget.text -= length;
        at += 4 + std::uint64_t(length);
    }
    return std::nullopt;
}

class PatchSet
{
public:
    explicit PatchSet(int fd) : m_fd(fd) {}

    // Lowers the list's count to cut.kept; false when that makes too many cut lists.
    bool apply(const CommentList& list, const Cut& cut)
    {
        if (++m_cutLists > MaxCutLists)
            return false;
        const std::string count = littleEndianBytes(cut.kept);
        std::size_t done = 0;
        for (const CommentList::Piece& piece : list.pieces(cut.countAt, 4)) {
            m_patches.push_back({piece.fileOffset, count.substr(done, piece.length)});
            done += piece.length;
            if (piece.extent->pageOffset != NoPage)
                m_changedPages.emplace(piece.extent->pageOffset, piece.extent->pageLength);
        }
        return true;
    }

    // The patches, with each changed Ogg page's checksum made anew over its patched bytes.
    std::optional<std::vector<BytePatch>> finish()
    {
        for (const auto& [offset, length] : m_changedPages) {
            std::string page(static_cast<std::size_t>(length), '\0');
            if (!readFully(m_fd, offset, page.data(), page.size()))
                return std::nullopt;
            for (const BytePatch& patch : m_patches)
                if (patch.offset >= offset && patch.offset < offset + length)
                    page.replace(static_cast<std::size_t>(patch.offset - offset), patch.bytes.size(), patch.bytes);
            page.replace(22, 4, 4, '\0');
            m_crcPatches.push_back({offset + 22, littleEndianBytes(oggCrc(page))});
        }
        std::vector<BytePatch> all = std::move(m_patches);
        all.insert(all.end(), m_crcPatches.begin(), m_crcPatches.end());
        std::sort(all.begin(), all.end(), [](const BytePatch& a, const BytePatch& b) { return a.offset < b.offset; });
        return all;
    }

private:
    int m_fd;
    int m_cutLists = 0;
    std::vector<BytePatch> m_patches;
    std::vector<BytePatch> m_crcPatches;
    std::map<std::uint64_t, std::uint64_t> m_changedPages; // offset -> length
};

// The size of the ID3v2 tag that may stand before a FLAC stream, 0 when there is none.
std::uint64_t id3v2Size(const unsigned char* head)
{
    if (head[0] != 'I' || head[1] != 'D' || head[2] != '3')
        return 0;
    const std::uint64_t size = (std::uint64_t(head[6] & 0x7F) << 21) | (std::uint64_t(head[7] & 0x7F) << 14) |
                               (std::uint64_t(head[8] & 0x7F) << 7) | (head[9] & 0x7F);
    return 10 + size + ((head[5] & 0x10) ? 10 : 0);
}

bool limitFlac(int fd, std::uint64_t size, std::uint64_t at, Budget& budget, PatchSet& patches)
{
    for (int blocks = 0; at + 4 <= size; ++blocks) {
        if (blocks >= MaxFlacBlocks)
            return false;
        unsigned char header[4];
        if (!readFully(fd, at, header, 4))
            return true;
        const std::uint64_t length = (std::uint64_t(header[1]) << 16) | (std::uint64_t(header[2]) << 8) | header[3];
        if ((header[0] & 0x7F) == 4) {
            const CommentList list(fd, {{0, at + 4, std::min(length, size - at - 4), NoPage, 0}});
            if (const auto cut = cutOf(list, budget); cut && !patches.apply(list, *cut))
                return false;
        }
        if (header[0] & 0x80)
            return true;
        at += 4 + length;
    }
    return true;
}

// What an Ogg stream's first packet says about where its comments are.
enum class OggCodec { Unknown, Vorbis, Opus, Speex, Theora, Flac };

OggCodec codecOf(const CommentList& firstPacket)
{
    unsigned char head[8] = {};
    firstPacket.read(0, head, std::min<std::uint64_t>(8, firstPacket.length()));
    const std::string magic(reinterpret_cast<const char*>(head), 8);
    if (magic.compare(0, 7, "\x01vorbis") == 0)
        return OggCodec::Vorbis;
    if (magic == "OpusHead")
        return OggCodec::Opus;
    if (magic == "Speex   ")
        return OggCodec::Speex;
    if (magic.compare(0, 7, "\x80theora") == 0)
        return OggCodec::Theora;
    if (magic.compare(0, 5,
                      "\x7F"
                      "FLAC") == 0)
        return OggCodec::Flac;
    return OggCodec::Unknown;
}

struct OggStream {
    OggCodec codec = OggCodec::Unknown;
    int packets = 0; // complete packets so far
    bool done = false;
    std::vector<Extent> packet; // the packet being gathered
    std::uint64_t packetLength = 0;
};

// Where the comment list starts in a header packet of the stream (the magic before it), or
// nothing when the packet holds none. Sets done once no later packet can hold one.
std::optional<std::uint64_t> commentStart(OggStream& stream, const CommentList& packet)
{
    const int index = stream.packets;
    if (index == 0) {
        stream.codec = codecOf(packet);
        stream.done = stream.codec == OggCodec::Unknown;
        return std::nullopt;
    }
    if (stream.codec == OggCodec::Flac) {
        unsigned char type = 0;
        // Each header packet after the first is one metadata block; an audio frame ends them.
        if (!packet.read(0, &type, 1) || type == 0xFF || (type & 0x80) || index >= MaxHeaderPackets)
            stream.done = true;
        if ((type & 0x7F) == 4 && type != 0xFF)
            return 4;
        return std::nullopt;
    }
    stream.done = true;
    unsigned char magic[8] = {};
    packet.read(0, magic, std::min<std::uint64_t>(8, packet.length()));
    const std::string head(reinterpret_cast<const char*>(magic), 8);
    switch (stream.codec) {
    case OggCodec::Vorbis:
        return head.compare(0, 7, "\x03vorbis") == 0 ? std::optional<std::uint64_t>(7) : std::nullopt;
    case OggCodec::Theora:
        return head.compare(0, 7, "\x81theora") == 0 ? std::optional<std::uint64_t>(7) : std::nullopt;
    case OggCodec::Opus:
        return head == "OpusTags" ? std::optional<std::uint64_t>(8) : std::nullopt;
    case OggCodec::Speex:
        return 0;
    default:
        return std::nullopt;
    }
}

// A comment list that starts skip bytes into a packet.
CommentList listAfter(int fd, const std::vector<Extent>& packet, std::uint64_t skip)
{
    std::vector<Extent> extents;
    for (Extent extent : packet) {
        if (extent.listOffset + extent.length <= skip)
            continue;
        const std::uint64_t cut = skip > extent.listOffset ? skip - extent.listOffset : 0;
        extent.fileOffset += cut;
        extent.length -= cut;
        extent.listOffset = extent.listOffset + cut - skip;
        extents.push_back(extent);
    }
    return CommentList(fd, std::move(extents));
}

bool limitOgg(int fd, std::uint64_t size, Budget& budget, PatchSet& patches)
{
    std::map<std::uint32_t, OggStream> streams;
    bool headersBegun = false;
    std::uint64_t at = 0;
    for (int pages = 0; pages < MaxOggPages && at + OggHeaderSize <= size; ++pages) {
        unsigned char header[OggHeaderSize + 255];
        if (!readFully(fd, at, header, OggHeaderSize) || std::string(reinterpret_cast<char*>(header), 4) != "OggS")
            return true; // the demuxer would search on; a file that hides its headers so is no real one
        const unsigned segments = header[26];
        if (!readFully(fd, at + OggHeaderSize, header + OggHeaderSize, segments))
            return true;
        std::uint64_t bodyLength = 0;
        for (unsigned i = 0; i < segments; ++i)
            bodyLength += header[OggHeaderSize + i];
        const std::uint64_t body = at + OggHeaderSize + segments;
        const std::uint64_t pageLength = OggHeaderSize + segments + bodyLength;
        if (body + bodyLength > size)
            return true;
        const std::uint32_t serial = littleEndian32(header + 14);
        const bool beginsStream = header[5] & 0x02;
        if (beginsStream && !headersBegun)
            streams[serial];
        else if (!beginsStream)
            headersBegun = true;
        const auto found = streams.find(serial);
        if (found != streams.end() && !found->second.done) {
            OggStream& stream = found->second;
            // A page that does not continue a packet starts a new one.
            if (!(header[5] & 0x01)) {
                stream.packet.clear();
                stream.packetLength = 0;
            }
            std::uint64_t into = 0;
            for (unsigned i = 0; i < segments && !stream.done; ++i) {
                const unsigned lacing = header[OggHeaderSize + i];
                // The segments of one page lie side by side: one run each page.
                if (!stream.packet.empty() && stream.packet.back().pageOffset == at)
                    stream.packet.back().length += lacing;
                else if (lacing > 0)
                    stream.packet.push_back({stream.packetLength, body + into, lacing, at, pageLength});
                stream.packetLength += lacing;
                into += lacing;
                if (lacing == 255)
                    continue;
                const CommentList packet(fd, stream.packet);
                if (const auto start = commentStart(stream, packet)) {
                    const CommentList list = listAfter(fd, stream.packet, *start);
                    if (const auto cut = cutOf(list, budget); cut && !patches.apply(list, *cut))
                        return false;
                }
                ++stream.packets;
                stream.packet.clear();
                stream.packetLength = 0;
            }
        }
        if (headersBegun && std::all_of(streams.begin(), streams.end(), [](const auto& s) { return s.second.done; }))
            return true;
        at += pageLength;
    }
    return true;
}

} // namespace

std::optional<std::vector<BytePatch>> commentLimitPatches(int fd, std::uint64_t size)
{
    unsigned char head[10] = {};
    if (size < 10 || !readFully(fd, 0, head, sizeof head))
        return std::vector<BytePatch>();
    Budget budget;
    PatchSet patches(fd);
    bool withinReason = true;
    if (std::string(reinterpret_cast<char*>(head), 4) == "OggS") {
        withinReason = limitOgg(fd, size, budget, patches);
    } else {
        const std::uint64_t start = id3v2Size(head);
        unsigned char magic[4] = {};
        if (start + 4 > size || !readFully(fd, start, magic, 4) ||
            std::string(reinterpret_cast<char*>(magic), 4) != "fLaC")
            return std::vector<BytePatch>();
        withinReason = limitFlac(fd, size, start + 4, budget, patches);
    }
    if (!withinReason)
        return std::nullopt;
    return patches.finish();
}

} // namespace tunevale
