#pragma once

#include "OutputVerifier.h"
#include "PcmDigest.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct AVCodecContext;
struct AVCodecParameters;
struct AVPacket;

namespace tunevale
{

// Bytes of a packet that its muxer rewrites when it finishes the file.
struct RewrittenBytes {
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Verifies an output while it is written, for containers whose index comes last (M4A), whose
// header is rewritten at the end (WavPack) or whose samples need no decoder of their own (AIFF): a thread of its own
// decodes each packet as the encoder hands it to the muxer and digests the PCM as the encoder's digest has it. Once the
// file is finished, a demuxer reads it back without decoding: its stream must have the codec, format, codec set-up and
// exact length encoded, and its packets exactly the bytes decoded. The decoding thus overlaps the encoding on a second
// core, and the finished file costs one read.
class PacketReadBack
{
public:
    // For the stream the encoder writes (its parameters as the muxer has them) and the sample
    // flags of the PCM the encoder's digest holds; nullptr when no decoder opens for it.
    // A muxer that rewrites bytes of the first packet when it finishes (WavPack's length) names
    // them: they are left out of the comparison of bytes, and the stated length is checked instead.
    static std::unique_ptr<PacketReadBack> start(const AVCodecParameters& stream, std::uint32_t storedFlags,
                                                 RewrittenBytes rewritten = {});
    // Gives up the decoding unless result() ended it.
    ~PacketReadBack();
    PacketReadBack(const PacketReadBack&) = delete;
    PacketReadBack& operator=(const PacketReadBack&) = delete;

    // Queues the packet (a new reference to its bytes) for decoding; waits while many are queued,
    // so that memory stays bounded when the decoding is the slower. False when out of memory.
    bool add(const AVPacket& packet);
    // Once the writer finished the file behind fd: waits for the decoding, checks it against
    // expected, then reads the file back. EngineCode::Ok or VerifyFailed.
    int result(int fd, const EncodedPcm& expected);

private:
    PacketReadBack() = default;
    void run();
    void decode(AVPacket* packet);
    bool fileMatches(int fd, const EncodedPcm& expected);
    // Adds a packet's bytes to digest, less the rewritten ones of the first packet.
    void addPayload(PcmDigest& digest, const AVPacket& packet, bool first) const;

    struct ContextDeleter {
        void operator()(AVCodecContext* context) const;
    };
    struct PacketDeleter {
        void operator()(AVPacket* packet) const;
    };
    using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

    static constexpr std::size_t MostQueued = 32;

    std::unique_ptr<AVCodecContext, ContextDeleter> m_decoder;
    std::uint32_t m_flags = 0;
    int m_codecId = 0;
    std::vector<std::uint8_t> m_extradata;
    RewrittenBytes m_rewritten;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Packet> m_queue;
    bool m_ended = false;  // no more packets will come
    bool m_failed = false; // a packet did not decode, or decoded to another format
    PcmDigest m_pcm;       // the decoded PCM
    PcmDigest m_payload;   // the packets' bytes
    std::vector<std::uint8_t> m_bytes;
    std::thread m_thread;
};

} // namespace tunevale
