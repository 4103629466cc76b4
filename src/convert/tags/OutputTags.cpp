#include "OutputTags.h"

#include "FileCopy.h"
#include "OutputTagFormats.h"
#include "TagText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

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

std::string megabytes(std::size_t bytes)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, bytes / 1e6, std::chars_format::fixed, 1).ptr;
    return std::string(buffer, end) + " MB";
}

SourceTags cleaned(const SourceTags& tags, std::vector<std::string>& dropped)
{
    SourceTags clean = tags;
    for (std::string* text : {&clean.title, &clean.artist, &clean.album, &clean.albumArtist, &clean.date, &clean.genre,
                              &clean.comment, &clean.composer})
        *text = cleanTagText(*text);
    TagPicture& cover = clean.frontCover;
    cover.mimeType = cleanTagText(cover.mimeType);
    if (!cover.empty() && cover.mimeType.empty())
        cover.mimeType = sniffedMimeType(cover.bytes);
    const char* name = tagFieldName(TagField::FrontCover);
    if (cover.bytes.size() > MaxCoverBytes) {
        dropped.push_back(std::string(name) + " (" + megabytes(cover.bytes.size()) + ", more than the " +
                          megabytes(MaxCoverBytes) + " a cover may have)");
        cover = {};
    } else if (!cover.empty() && cover.mimeType.empty()) {
        dropped.push_back(std::string(name) + " (not a picture of a known type)");
        cover = {};
    }
    return clean;
}

// What the tags may add to the file, generously: UTF-16 doubles text, Ogg's base64 makes a cover
// a third larger, and frame headers and padding come on top.
std::uint64_t roomForTags(const SourceTags& tags, const std::optional<TypedWmaTags>& typedWma)
{
    std::uint64_t bytes = tags.frontCover.bytes.size() + tags.frontCover.mimeType.size();
    for (const std::string* text : {&tags.title, &tags.artist, &tags.album, &tags.albumArtist, &tags.date, &tags.genre,
                                    &tags.comment, &tags.composer})
        bytes += text->size();
    if (typedWma)
        for (const std::string& value : typedWma->values)
            bytes += value.size();
    return 2 * bytes + 256 * 1024;
}

// Errors as the system words them ("No space left on device"), with what failed.
std::string systemError(const std::string& what, int error)
{
    return what + ": " + std::error_code(error, std::generic_category()).message();
}

// Copies the file at from, its bytes and permissions, into the open descriptor; 0, or the errno of
// the failure.
int copyInto(const std::string& from, int to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat status {
    };
    int error = ::fstat(in, &status) == 0 && ::fchmod(to, status.st_mode & 07777) == 0 ? 0 : errno;
    if (error == 0)
        error = copyFileBytes(in, to);
    ::close(in);
    return error;
}

// Reserves room for bytes more at the end of the file without changing its size, so that TagLib,
// which does not report failed writes, cannot run out of disk while it rewrites the file. 0, or
// the errno that says why there is no room. Where the file system cannot reserve, its free space
// is checked instead.
int reserveRoom(int fd, std::uint64_t bytes)
{
    struct stat status {
    };
    if (::fstat(fd, &status) != 0)
        return errno;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, status.st_size, static_cast<off_t>(bytes)) == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    struct statvfs space {
    };
    if (::fstatvfs(fd, &space) == 0 && std::uint64_t(space.f_bavail) * space.f_frsize < bytes)
        return ENOSPC;
    return 0;
}

// Gives back what reserveRoom held beyond the file's end.
void releaseRoom(int fd, std::uint64_t bytes)
{
    struct stat status {
    };
    if (::fstat(fd, &status) == 0)
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, status.st_size, static_cast<off_t>(bytes));
}

// Whether the format's audio always differs from the source's, so that loudness tags the source
// had would describe other audio. M4A and WavPack writers tell from the file (AAC or ALAC, hybrid
// or lossless WavPack).
bool lossyFormat(OutputTagFormat format)
{
    switch (format) {
    case OutputTagFormat::Mp3:
    case OutputTagFormat::Ogg:
    case OutputTagFormat::Wma:
    case OutputTagFormat::OggOpus:
        return true;
    case OutputTagFormat::Wav:
    case OutputTagFormat::Flac:
    case OutputTagFormat::Mp4:
    case OutputTagFormat::WavPack:
    case OutputTagFormat::Aiff:
        break;
    }
    return false;
}

// WAV's INFO list has no loudness tags that players read.
bool holdsGainTags(OutputTagFormat format)
{
    return format != OutputTagFormat::Wav;
}

bool tagFile(const std::string& path, OutputTagFormat format, const SourceTags& tags,
             const std::optional<TypedWmaTags>& typedWma, const GainTags& gainTags, TagWriteResult& result)
{
    const GainChange gains = newOutputGains(gainTags, lossyFormat(format));
    switch (format) {
    case OutputTagFormat::Mp3:
        return writeId3v2Tags(path, tags, gains, result.leftOut, result.error);
    case OutputTagFormat::Ogg:
        return writeVorbisComments(path, tags, gains, result.error);
    case OutputTagFormat::Wma:
        return writeAsfAttributes(path, tags, typedWma, gains, result.dropped, result.error);
    case OutputTagFormat::Wav:
        return writeRiffInfo(path, tags, result.leftOut, result.error);
    case OutputTagFormat::Flac:
        return writeFlacTags(path, tags, gains, result.error);
    case OutputTagFormat::OggOpus:
        return writeOpusTags(path, tags, gains, result.error);
    case OutputTagFormat::Mp4:
        return writeMp4Tags(path, tags, gains, result.dropped, result.error);
    case OutputTagFormat::WavPack:
        return writeApeTags(path, tags, gains, result.leftOut, result.error);
    case OutputTagFormat::Aiff:
        return writeAiffTags(path, tags, gains, result.leftOut, result.error);
    }
    result.error = "unknown output format";
    return false;
}

TagWriteResult failure(std::string error, TagWriteResult result)
{
    result.status = TagWriteStatus::Failed;
    result.error = std::move(error);
    return result;
}

// Edits a copy of the output, made beside it with room bytes more reserved on the disk, and puts
// it in the output's place once saved. "" when the output now holds the edited copy; otherwise
// why the output was left as it was.
template <typename Edit> std::string editThroughCopy(const std::string& outFile, std::uint64_t room, Edit&& edit)
{
    namespace fs = std::filesystem;
    std::error_code fsError;
    if (!fs::is_regular_file(outFile, fsError) || ::access(outFile.c_str(), W_OK) != 0)
        return "the output file is missing or not writable";

    // The copy lives beside the output, so that renaming it over the output is atomic. Its name
    // is short: the output's own may already be as long as a name can be.
    const fs::path target(outFile);
    std::string copyName = (target.parent_path() / (std::string(TagCopyPrefix) + "XXXXXX")).string();
    const int copy = ::mkstemp(copyName.data());
    if (copy < 0)
        return systemError("no temporary file beside the output", errno);
    const auto discardCopy = [&](std::string error) {
        ::close(copy);
        std::error_code ignored;
        fs::remove(copyName, ignored);
        return error;
    };
    if (const int error = copyInto(outFile, copy))
        return discardCopy(systemError("could not copy the output", error));
    if (const int error = reserveRoom(copy, room))
        return discardCopy(systemError("no room for the tags", error));

    std::string editError;
    if (!edit(copyName, editError))
        return discardCopy(editError.empty() ? "the tags could not be written" : editError);
    releaseRoom(copy, room);
    // On disk before the rename, so that after a crash the name holds the tagged audio or the old
    // audio, never an empty file.
    if (::fsync(copy) != 0)
        return discardCopy(systemError("could not write the tagged copy to disk", errno));
    if (::close(copy) != 0) {
        std::error_code ignored;
        fs::remove(copyName, ignored);
        return systemError("could not finish the tagged copy", errno);
    }
    fs::rename(copyName, target, fsError);
    if (fsError) {
        std::error_code ignored;
        fs::remove(copyName, ignored);
        return "could not replace the output: " + fsError.message();
    }
    return {};
}

// Edits a private file where it lies, with room bytes more reserved on the disk first: after a
// failure the file is to be discarded. "" when the file holds the edit; otherwise why not.
// untouched, when given, tells whether a failure left the file as it was.
template <typename Edit>
std::string editInPlace(const std::string& file, std::uint64_t room, Edit&& edit, bool* untouched = nullptr)
{
    if (untouched)
        *untouched = true;
    const int fd = ::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return systemError("the file cannot be opened", errno);
    if (const int error = reserveRoom(fd, room)) {
        ::close(fd);
        return systemError("no room for the tags", error);
    }
    if (untouched)
        *untouched = false;
    std::string editError;
    const bool edited = edit(file, editError);
    releaseRoom(fd, room);
    ::close(fd);
    if (!edited)
        return editError.empty() ? "the tags could not be written" : editError;
    return {};
}

} // namespace

namespace
{

// The tags of WriteOutputTags, through editor: editThroughCopy or editInPlace.
template <typename Editor>
TagWriteResult writeOutputTags(const std::string& outFile, OutputTagFormat format, const SourceTags& tags,
                               const std::optional<TypedWmaTags>& typedWma, const GainTags& gains, Editor&& editor)
{
    TagWriteResult result;
    const SourceTags clean = cleaned(tags, result.dropped);
    const bool gainsToWrite = !gains.empty() && holdsGainTags(format);
    if (clean.empty() && !gainsToWrite && !carriesStaleGains(outFile, format))
        return result;
    std::string error = editor(outFile, roomForTags(clean, typedWma), [&](const std::string& file, std::string& why) {
        const bool written = tagFile(file, format, clean, typedWma, gains, result);
        why = result.error;
        return written;
    });
    if (!error.empty())
        return failure(std::move(error), result);
    result.status = TagWriteStatus::Written;
    return result;
}

} // namespace

TagWriteResult WriteOutputTags(const std::string& outFile, OutputTagFormat format, const SourceTags& tags,
                               const std::optional<TypedWmaTags>& typedWma, const GainTags& gains)
{
    return writeOutputTags(outFile, format, tags, typedWma, gains, [](auto&&... arguments) {
        return editThroughCopy(std::forward<decltype(arguments)>(arguments)...);
    });
}

TagWriteResult WritePrivateFileTags(const std::string& file, OutputTagFormat format, const SourceTags& tags,
                                    const std::optional<TypedWmaTags>& typedWma, const GainTags& gains)
{
    return writeOutputTags(file, format, tags, typedWma, gains, [](auto&&... arguments) {
        return editInPlace(std::forward<decltype(arguments)>(arguments)...);
    });
}

bool WritePrivateFileGainTags(const std::string& file, OutputTagFormat format, const GainTags& gains,
                              std::string& error, OtherGains others, bool* untouched)
{
    if (untouched)
        *untouched = true;
    if (gains.empty() || !holdsGainTags(format))
        return true;
    GainChange change = givenGainsOnly(gains);
    change.dropOthers = others == OtherGains::Dropped;
    error = editInPlace(
        file, roomForTags({}, std::nullopt),
        [&](const std::string& path, std::string& why) { return writeGainsOnly(path, format, change, why); },
        untouched);
    return error.empty();
}

OutputTagFormat tagFormatOf(FileFormat format)
{
    return outputFormat(format).tags;
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
