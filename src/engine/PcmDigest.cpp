#include "PcmDigest.h"

#include <new>
#include <xxhash.h>

namespace tunevale
{

void PcmDigest::StateDeleter::operator()(XXH3_state_s* state) const
{
    XXH3_freeState(state);
}

PcmDigest::PcmDigest() : m_state(XXH3_createState())
{
    if (!m_state || XXH3_128bits_reset(m_state.get()) != XXH_OK)
        throw std::bad_alloc();
}

PcmDigest::~PcmDigest() = default;

void PcmDigest::add(const void* bytes, std::size_t size)
{
    XXH3_128bits_update(m_state.get(), bytes, size);
    m_size += size;
}

PcmDigest::Value PcmDigest::value() const
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_state.get()));
    Value digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = canonical.digest[i];
    return digest;
}

} // namespace tunevale
