#include "OutputRewrite.h"

#include "FileCopy.h"
#include "OutputOrigin.h"
#include "OutputTags.h"
#include "PendingOutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

std::string folderOf(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

std::string nameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string extensionOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string("bin") : name.substr(dot + 1);
}

// True when a copy succeeded (error: the errno of copyFileBytes); false with error set otherwise.
bool copySucceeded(int copyError, std::string& error)
{
    if (copyError != 0)
        error = std::string("the file could not be copied: ") + std::strerror(copyError);
    return copyError == 0;
}

// A private copy of the file at path in the folder of target; invalid with error set when it cannot be made.
PendingOutputFile privateCopy(const std::string& path, const std::string& target, std::string& error)
{
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        error = path + " cannot be read: " + std::strerror(errno);
        return {};
    }
    PendingOutputFile copy = PendingOutputFile::create(folderOf(target), extensionOf(nameOf(target)), error);
    const bool copied = copy.valid() && copySucceeded(copyFileBytes(from, copy.fd()), error);
    ::close(from);
    if (!copied)
        copy.discard();
    return copy;
}

bool placeCopy(PendingOutputFile& copy, const std::string& target, bool replace, std::string& error)
{
    if (!copy.valid() || !copy.flush(error))
        return false;
    const auto placement = replace ? copy.placeOver(nameOf(target), error) : copy.placeAs(nameOf(target), error);
    if (placement == PendingOutputFile::Placement::NameTaken)
        error = "something else holds " + target;
    return placement == PendingOutputFile::Placement::Placed;
}

} // namespace

bool retagOutput(const std::string& outputPath, const ConversionOptions& options, const SourceTags& tags,
                 const FileStamp& sourceStamp, const std::string& fingerprint, std::string& error)
{
    if (!options.format) {
        error = "no output format is chosen";
        return false;
    }
    PendingOutputFile copy = privateCopy(outputPath, outputPath, error);
    if (!copy.valid())
        return false;
    std::optional<TypedWmaTags> typed;
    if (*options.format == FileFormat::WMA && options.wma.setTags)
        typed = TypedWmaTags{options.wma.tagNames, options.wma.tags};
    const TagWriteResult result = WritePrivateFileTags(copy.pathInProcess(), tagFormatOf(*options.format), tags, typed);
    if (result.failed()) {
        error = "the tags could not be written: " + result.error;
        return false;
    }
    writeOutputOrigin(copy.pathInProcess(), sourceStamp, fingerprint);
    return placeCopy(copy, outputPath, true, error);
}

bool regainOutput(const std::string& outputPath, OutputTagFormat format, const GainTags& gains,
                  const std::optional<FileStamp>& sourceStamp, const std::string& fingerprint, std::string& error,
                  OtherGains others)
{
    PendingOutputFile copy = privateCopy(outputPath, outputPath, error);
    if (!copy.valid())
        return false;
    if (!WritePrivateFileGainTags(copy.pathInProcess(), format, gains, error, others)) {
        copy.discard();
        return false;
    }
    if (sourceStamp)
        writeOutputOrigin(copy.pathInProcess(), *sourceStamp, fingerprint);
    return placeCopy(copy, outputPath, true, error);
}

bool copyFileInto(const std::string& sourcePath, const std::string& outputPath, bool replace, std::string& error)
{
    struct stat source;
    if (::stat(sourcePath.c_str(), &source) != 0) {
        error = sourcePath + " cannot be read: " + std::strerror(errno);
        return false;
    }
    PendingOutputFile copy = privateCopy(sourcePath, outputPath, error);
    if (!copy.valid())
        return false;
    // The copy keeps its source's time, so that it is known as the same file later.
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(copy.fd(), times) != 0) {
        error = std::string("the copy's time could not be set: ") + std::strerror(errno);
        return false;
    }
    return placeCopy(copy, outputPath, replace, error);
}

} // namespace tunevale
