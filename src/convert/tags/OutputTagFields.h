#pragma once

#include "OutputTags.h"

#include <taglib/flacpicture.h>
#include <taglib/tbytevector.h>
#include <taglib/tfile.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <functional>
#include <memory>
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
} // namespace TagLib

// What the tag writers of the several layouts share.
namespace tunevale
{

TagLib::String tagText(const std::string& utf8);
TagLib::ByteVector tagBytes(const std::vector<unsigned char>& data);

// "3", or "" for 0.
std::string tagNumber(unsigned value);
// "3/12", "3", or "" when there is no number; a total alone has no place in such a pair.
std::string tagNumberPair(unsigned value, unsigned total);
void leaveOutTotalWithoutNumber(unsigned value, unsigned total, TagField field, std::vector<TagField>& leftOut);

// The values a text stands for: FFmpeg joins the values of a field given more than once (two
// ARTIST comments) with ";", and layouts that hold several values get them apart again.
TagLib::StringList tagValues(const std::string& text);

// False, with error set, when TagLib could not read the file or save it.
bool tagFileOpened(const TagLib::File& file, std::string& error);
bool tagFileSaved(bool ok, std::string& error);
// False, with error set, when the file opened has no audio frames (opened with its audio
// properties): TagLib takes any file for WavPack or AIFF and would add a tag to it.
template <typename File> bool tagFileHasAudio(const File& file, const char* format, std::string& error)
{
    if (file.audioProperties() && file.audioProperties()->sampleFrames() > 0)
        return true;
    error = std::string("no ") + format + " audio in the file";
    return false;
}

// Opens an MP3, applies edit to its ID3v2 tag (made when missing) and saves it as the only tag,
// in version 2.3. False, with error set, for a file without a single MPEG frame: TagLib opens any
// file as MPEG.
bool editMp3Tag(const std::string& path, const std::function<void(TagLib::ID3v2::Tag&)>& edit, std::string& error);

// The text frames, comment and front cover of an ID3v2 tag (MP3, AIFF).
void setId3Fields(TagLib::ID3v2::Tag& tag, const SourceTags& tags, std::vector<TagField>& leftOut);
// The fields of Vorbis comments (OGG, FLAC, Opus), several values of a field each its own comment.
void setVorbisFields(TagLib::Ogg::XiphComment& comment, const SourceTags& tags);
// A FLAC picture block of the front cover (FLAC, and base64 in Ogg's METADATA_BLOCK_PICTURE).
std::unique_ptr<TagLib::FLAC::Picture> frontCoverBlock(const TagPicture& cover);

} // namespace tunevale
