#include "OutputTags.h"

#include "OutputTagFormats.h"
#include "TagText.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <utility>
#include <unistd.h>

namespace tunevale
{

namespace
{

// A FLAC picture block, which carries an Ogg file's cover, counts its bytes in 24 bits; no cover
// beyond that fits every format, and none that large is a real cover.
constexpr std::size_t MaxCoverBytes = 16'000'000;

bool startsWith(const std::vector<unsigned char>& data, std::string_view magic)
{
    return data.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), data.begin(),
                      [](char m, unsigned char d) { return static_cast<unsigned char>(m) == d; });
}

// The picture's type from its first bytes, for a cover that comes without one.
std::string sniffedMimeType(const std::vector<unsigned char>& data)
{
    if (startsWith(data, "\x89PNG\r\n\x1a\n"))
        return "image/png";
    if (startsWith(data, "\xFF\xD8\xFF"))
        return "image/jpeg";
    if (startsWith(data, "GIF8"))
        return "image/gif";
    return {};
}

SourceTags cleaned(const SourceTags& tags, std::vector<TagField>& leftOut)
{
    SourceTags clean = tags;
    for (std::string* text : {&clean.title, &clean.artist, &clean.album, &clean.albumArtist, &clean.date, &clean.genre,
                              &clean.comment, &clean.composer})
        *text = cleanTagText(*text);
    TagPicture& cover = clean.frontCover;
    cover.mimeType = cleanTagText(cover.mimeType);
    if (!cover.empty() && cover.mimeType.empty())
        cover.mimeType = sniffedMimeType(cover.bytes);
    if (!cover.empty() && (cover.bytes.size() > MaxCoverBytes || cover.mimeType.empty())) {
        cover = {};
        leftOut.push_back(TagField::FrontCover);
    }
    return clean;
}

bool tagFile(const std::string& path, OutputTagFormat format, const SourceTags& tags,
             const std::optional<TypedWmaTags>& typedWma, TagWriteResult& result)
{
    switch (format) {
    case OutputTagFormat::Mp3:
        return writeId3v2Tags(path, tags, result.leftOut, result.error);
    case OutputTagFormat::Ogg:
        return writeVorbisComments(path, tags, result.error);
    case OutputTagFormat::Wma:
        return writeAsfAttributes(path, tags, typedWma, result.leftOut, result.error);
    case OutputTagFormat::Wav:
        return writeRiffInfo(path, tags, result.leftOut, result.error);
    }
    result.error = "unknown output format";
    return false;
}

// Puts the file's bytes on disk, so that after a crash the name holds the tagged audio or the old
// audio, never an empty file.
bool flushedToDisk(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool flushed = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return flushed;
}

TagWriteResult failure(std::string error, TagWriteResult result)
{
    result.status = TagWriteStatus::Failed;
    result.error = std::move(error);
    return result;
}

} // namespace

TagWriteResult WriteOutputTags(const std::string& outFile, OutputTagFormat format, const SourceTags& tags,
                               const std::optional<TypedWmaTags>& typedWma)
{
    TagWriteResult result;
    const SourceTags clean = cleaned(tags, result.leftOut);
    if (clean.empty())
        return result;
    namespace fs = std::filesystem;
    std::error_code fsError;
    if (!fs::is_regular_file(outFile, fsError) || ::access(outFile.c_str(), W_OK) != 0)
        return failure("the output file is missing or not writable", result);

    // The copy lives beside the output, so that renaming it over the output is atomic.
    const fs::path target(outFile);
    std::string copyName = (target.parent_path() / ("." + target.filename().string() + ".tags-XXXXXX")).string();
    const int descriptor = ::mkstemp(copyName.data());
    if (descriptor < 0)
        return failure("no temporary file beside the output", result);
    ::close(descriptor);
    const auto discardCopy = [&copyName] {
        std::error_code ignored;
        fs::remove(copyName, ignored);
    };
    if (!fs::copy_file(target, copyName, fs::copy_options::overwrite_existing, fsError)) {
        discardCopy();
        return failure("could not copy the output: " + fsError.message(), result);
    }

    if (!tagFile(copyName, format, clean, typedWma, result)) {
        discardCopy();
        return failure(result.error, result);
    }
    if (!flushedToDisk(copyName)) {
        discardCopy();
        return failure("could not write the tagged copy to disk", result);
    }
    fs::rename(copyName, target, fsError);
    if (fsError) {
        discardCopy();
        return failure("could not replace the output: " + fsError.message(), result);
    }
    result.status = TagWriteStatus::Written;
    return result;
}

OutputTagFormat tagFormatOf(FileFormat format)
{
    switch (format) {
    case FileFormat::WAV:
        return OutputTagFormat::Wav;
    case FileFormat::WMA:
        return OutputTagFormat::Wma;
    case FileFormat::OGG:
        return OutputTagFormat::Ogg;
    case FileFormat::MP3:
    case FileFormat::Ipod:
        break;
    }
    return OutputTagFormat::Mp3;
}

std::optional<TypedWmaTags> typedWmaTags(const OutputSettings& settings, const std::array<std::string, 8>& names)
{
    if (!settings.chkWMAFileTags.value)
        return std::nullopt;
    TypedWmaTags typed;
    typed.names = names;
    for (std::size_t i = 0; i < typed.values.size(); ++i)
        typed.values[i] = settings.txtWMATags[i].text;
    return typed;
}

std::vector<TagField> tagFieldsOf(const SourceTags& tags)
{
    const std::pair<TagField, bool> present[] = {
        {TagField::Title, !tags.title.empty()},
        {TagField::Artist, !tags.artist.empty()},
        {TagField::Album, !tags.album.empty()},
        {TagField::AlbumArtist, !tags.albumArtist.empty()},
        {TagField::Track, tags.track != 0},
        {TagField::TrackTotal, tags.trackTotal != 0},
        {TagField::Disc, tags.disc != 0},
        {TagField::DiscTotal, tags.discTotal != 0},
        {TagField::Date, !tags.date.empty()},
        {TagField::Genre, !tags.genre.empty()},
        {TagField::Comment, !tags.comment.empty()},
        {TagField::Composer, !tags.composer.empty()},
        {TagField::FrontCover, !tags.frontCover.empty()},
    };
    std::vector<TagField> fields;
    for (const auto& [field, there] : present)
        if (there)
            fields.push_back(field);
    return fields;
}

const char* tagFieldName(TagField field)
{
    switch (field) {
    case TagField::Title:
        return "Title";
    case TagField::Artist:
        return "Artist";
    case TagField::Album:
        return "Album";
    case TagField::AlbumArtist:
        return "Album Artist";
    case TagField::Track:
        return "Track";
    case TagField::TrackTotal:
        return "Track Total";
    case TagField::Disc:
        return "Disc";
    case TagField::DiscTotal:
        return "Disc Total";
    case TagField::Date:
        return "Date";
    case TagField::Genre:
        return "Genre";
    case TagField::Comment:
        return "Comment";
    case TagField::Composer:
        return "Composer";
    case TagField::FrontCover:
        return "Cover";
    }
    return "";
}

} // namespace tunevale
