#pragma once

#include "Engine.h"

#include <cstddef>
#include <memory>

struct AVFrame;
struct AVPacket;

namespace tunevale
{

// Encodes interleaved PCM into a FLAC, Ogg Opus, M4A (AAC-LC or ALAC), AIFF or WavPack file with
// FFmpeg's encoders and muxers, as one EncodeSetup says.
//
// Lossless codecs store the PCM at its own resolution (see storedSampleFlags) and keep a digest of
// what they store, so that close() can decode the file back and compare (FLAC: while it is written, see FlacReadBack).
// Opus is resampled to 48 kHz; AAC keeps rates it supports up to 48 kHz. Every file decodes to exactly as many samples
// as were written (at the output rate): the codec gets exactly that many, the last frame short,
// and the file records the codec's delay and padding (Opus pre-skip and end granule, the MP4 edit
// list in samples).
//
// Error codes as Engine::EncodeFileOpen states them, and VerifyFailed from close().
class FileEncoder
{
public:
    static std::unique_ptr<FileEncoder> open(const EncodeSetup& setup, const ChannelInfo& pcm,
                                             const EncodeTarget& target, int& errorCode);
    ~FileEncoder();
    FileEncoder(const FileEncoder&) = delete;
    FileEncoder& operator=(const FileEncoder&) = delete;

    bool write(const void* pcm, std::size_t size, int& errorCode);
    // Encodes what is left, finishes the file and, when asked for, verifies it. Only once.
    bool close(int& errorCode);

private:
    struct State;
    explicit FileEncoder(std::unique_ptr<State> state);
    bool storePcm(const std::uint8_t* bytes, int frames, int& errorCode);
    bool resamplePcm(const std::uint8_t* bytes, int frames, int& errorCode);
    bool encodeFrames(std::int64_t upTo, int& errorCode);
    bool sendFrame(AVFrame* frame, int& errorCode);
    bool writePacket(AVPacket* packet, int& errorCode);
    bool finish(int& errorCode);

    std::unique_ptr<State> m_state;
};

} // namespace tunevale
