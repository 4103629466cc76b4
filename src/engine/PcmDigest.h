#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

struct XXH3_state_s;

namespace tunevale
{

// A 128-bit XXH3 digest of a stream of PCM bytes, with their count. It tells an encoded file's PCM
// from the PCM given to the encoder: no accidental change escapes it in practice (a chance of 2^-128),
// at about a tenth of MD5's cost, so a lossless job's check stays cheap beside its encoding.
class PcmDigest
{
public:
    using Value = std::array<std::uint8_t, 16>;

    PcmDigest();
    ~PcmDigest();
    PcmDigest(const PcmDigest&) = delete;
    PcmDigest& operator=(const PcmDigest&) = delete;

    void add(const void* bytes, std::size_t size);
    std::uint64_t size() const { return m_size; }
    // The digest of everything added so far; adding may go on.
    Value value() const;

private:
    struct StateDeleter {
        void operator()(XXH3_state_s* state) const;
    };
    std::unique_ptr<XXH3_state_s, StateDeleter> m_state;
    std::uint64_t m_size = 0;
};

} // namespace tunevale
