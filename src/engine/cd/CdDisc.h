#pragma once

#include "CdDevice.h"
#include "DiscToc.h"
#include "SourceTags.h"

#include <memory>
#include <string>

namespace tunevale
{

// The audio CD in a drive (or a disc image): its table of contents and its CD-TEXT.
class CdDisc
{
public:
    // nullptr with errorCode and message as openCdDevice gives them.
    static std::unique_ptr<CdDisc> open(const std::string& drive, int& errorCode, std::string& message);

    const DiscToc& toc() const { return m_toc; }
    // The disc's CD-TEXT for one track (title, performer, songwriter, the disc's title as the
    // album, its genre), with the track's number and the count of tracks.
    SourceTags tags(int number) const;

private:
    CdDisc(CdioHandle cdio, DiscToc toc) : m_cdio(std::move(cdio)), m_toc(std::move(toc)) {}

    CdioHandle m_cdio;
    DiscToc m_toc;
};

} // namespace tunevale
