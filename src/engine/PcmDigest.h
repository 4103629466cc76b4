#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct AVMD5;

namespace tunevale
{

// The MD5 of a stream of PCM bytes, with their count.
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
    AVMD5* m_md5 = nullptr;
    std::uint64_t m_size = 0;
};

} // namespace tunevale
