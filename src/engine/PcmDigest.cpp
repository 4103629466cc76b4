#include "PcmDigest.h"

#include <cstring>
#include <new>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

namespace tunevale
{

PcmDigest::PcmDigest() : m_md5(av_md5_alloc())
{
    if (!m_md5)
        throw std::bad_alloc();
    av_md5_init(m_md5);
}

PcmDigest::~PcmDigest()
{
    av_free(m_md5);
}

void PcmDigest::add(const void* bytes, std::size_t size)
{
    av_md5_update(m_md5, static_cast<const std::uint8_t*>(bytes), size);
    m_size += size;
}

PcmDigest::Value PcmDigest::value() const
{
    // Finishing consumes the state: finish a copy so that the running one goes on.
    AVMD5* copy = av_md5_alloc();
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, m_md5, av_md5_size);
    Value digest{};
    av_md5_final(copy, digest.data());
    av_free(copy);
    return digest;
}

} // namespace tunevale
