#include "FileRangeSource.h"

#include <algorithm>
#include <vector>

namespace tunevale
{

std::unique_ptr<FileRangeSource> FileRangeSource::open(std::unique_ptr<PcmSource> file, std::int64_t begin,
                                                       std::int64_t end, int& errorCode)
{
    std::unique_ptr<FileRangeSource> range(new FileRangeSource(std::move(file), begin, end));
    if (!range->position(0)) {
        errorCode = EngineCode::Position;
        return nullptr;
    }
    errorCode = EngineCode::Ok;
    return range;
}

FileRangeSource::FileRangeSource(std::unique_ptr<PcmSource> file, std::int64_t begin, std::int64_t end)
    : m_file(std::move(file)), m_begin(begin),
      m_end(end < 0
                ? std::max<std::int64_t>(begin, static_cast<std::int64_t>(m_file->length() / m_file->bytesPerFrame()))
                : std::max(begin, end)),
      m_toFileEnd(end < 0)
{
}

bool FileRangeSource::position(std::int64_t frame)
{
    m_delivered = frame;
    const std::int64_t target = m_begin + frame;
    if (target == 0)
        return m_file->rewind();
    if (m_file->seekFrame(static_cast<std::uint64_t>(target)))
        return true;
    if (!m_file->rewind())
        return false;
    const std::size_t frameBytes = m_file->bytesPerFrame();
    std::vector<std::uint8_t> scratch(frameBytes * 16384);
    for (std::int64_t skipped = 0; skipped < target && !m_file->finished();) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(target - skipped, 16384));
        skipped += static_cast<std::int64_t>(m_file->read(scratch.data(), want * frameBytes) / frameBytes);
    }
    return true;
}

std::uint64_t FileRangeSource::length() const
{
    return static_cast<std::uint64_t>(m_end - m_begin) * bytesPerFrame();
}

std::size_t FileRangeSource::read(std::uint8_t* out, std::size_t size)
{
    const std::size_t frameBytes = bytesPerFrame();
    const auto left = static_cast<std::size_t>(std::max<std::int64_t>(m_end - m_begin - m_delivered, 0));
    const std::size_t frames = m_toFileEnd ? size / frameBytes : std::min(size / frameBytes, left);
    const std::size_t got = m_file->read(out, frames * frameBytes);
    m_delivered += static_cast<std::int64_t>(got / frameBytes);
    return got;
}

bool FileRangeSource::finished() const
{
    return (!m_toFileEnd && m_delivered >= m_end - m_begin) || m_file->finished();
}

bool FileRangeSource::rewind()
{
    return position(0);
}

bool FileRangeSource::seekFrame(std::uint64_t frame)
{
    if (!m_toFileEnd && static_cast<std::int64_t>(frame) > m_end - m_begin)
        return false;
    return position(static_cast<std::int64_t>(frame));
}

SourceDamage FileRangeSource::damage() const
{
    if (!finished())
        return SourceDamage::None;
    if (const SourceDamage fileDamage = m_file->damage(); fileDamage != SourceDamage::None)
        return fileDamage;
    return !m_toFileEnd && m_delivered < m_end - m_begin ? SourceDamage::EndedEarly : SourceDamage::None;
}

} // namespace tunevale
