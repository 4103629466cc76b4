#pragma once

#include "OutputTags.h"

#include <string>
#include <vector>

namespace TagLib
{
namespace ID3v2
{
class Tag;
}
namespace Ogg
{
class XiphComment;
}
namespace ASF
{
class Tag;
}
namespace MP4
{
class Tag;
}
namespace APE
{
class Tag;
}
} // namespace TagLib

namespace tunevale
{

// What a writer does to the loudness tags (REPLAYGAIN_*, R128_*) of an output.
struct GainChange {
    GainTags gains;
    // Remove every loudness tag the output carries before the given ones are written.
    bool dropOthers = false;
};

// A freshly encoded output: loudness tags that came along from the source only stay when no gains
// are given and the audio is the source's own (a lossless output).
GainChange newOutputGains(const GainTags& gains, bool lossy);
// An output tagged before: only the given gains change, every other tag stays.
GainChange givenGainsOnly(const GainTags& gains);

struct GainField {
    std::string name; // upper case: "REPLAYGAIN_TRACK_GAIN"
    std::string text; // "-6.52 dB"
};

// The ReplayGain 2.0 fields of the given gains: REPLAYGAIN_TRACK_GAIN "-6.52 dB", _TRACK_PEAK
// "0.988547", _ALBUM_GAIN, _ALBUM_PEAK.
std::vector<GainField> replayGainFields(const GainTags& gains);
// The Opus fields: R128_TRACK_GAIN and R128_ALBUM_GAIN, the gain to -23 LUFS in 1/256 dB. Opus has
// no peak fields.
std::vector<GainField> r128GainFields(const GainTags& gains);
// The gain to -23 LUFS for a ReplayGain gain (to -18 LUFS), in 1/256 dB, within 16 bits.
int r128GainSteps(double replayGainDb);

// Whether a tag's name is one of the loudness tags players read, in any letter case.
bool isGainTagName(const std::string& name);

// Each applies the change to one tag layout: ID3v2 TXXX frames, Vorbis comments (ReplayGain or,
// for Opus, R128), ASF attributes, MP4 freeform atoms of iTunes' mean, APEv2 items.
void setId3Gains(TagLib::ID3v2::Tag& tag, const GainChange& change);
void setVorbisGains(TagLib::Ogg::XiphComment& comment, const GainChange& change);
void setOpusGains(TagLib::Ogg::XiphComment& comment, const GainChange& change);
void setAsfGains(TagLib::ASF::Tag& tag, const GainChange& change);
void setMp4Gains(TagLib::MP4::Tag& tag, const GainChange& change);
void setApeGains(TagLib::APE::Tag& tag, const GainChange& change);

// Whether the tag carries any loudness tag.
bool hasGainTags(TagLib::ID3v2::Tag& tag);
bool hasGainTags(TagLib::Ogg::XiphComment& comment);
bool hasGainTags(TagLib::ASF::Tag& tag);
bool hasGainTags(TagLib::MP4::Tag& tag);
bool hasGainTags(TagLib::APE::Tag& tag);

} // namespace tunevale
