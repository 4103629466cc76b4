#include "OutputNaming.h"

#include "ConversionRun.h"
#include "Engine.h"
#include "OutputLayout.h"
#include "OutputOrigin.h"
#include "SourceScan.h"

#include <cerrno>
#include <sys/stat.h>

namespace tunevale
{

namespace
{

enum class NameHolder { Nothing, RegularFile, Other };

NameHolder holderOf(const std::string& path)
{
    struct stat named;
    if (::lstat(path.c_str(), &named) != 0)
        return errno == ENOENT ? NameHolder::Nothing : NameHolder::Other;
    return S_ISREG(named.st_mode) ? NameHolder::RegularFile : NameHolder::Other;
}

std::string joinedPath(const std::string& folder, const std::string& relative)
{
    if (relative.empty())
        return folder;
    return (folder.ends_with('/') ? folder : folder + '/') + relative;
}

std::string fileNameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

OutputNaming::OutputNaming(const ConversionOptions& options, std::string settingsFingerprint)
    : m_options(options), m_fingerprint(std::move(settingsFingerprint)),
      m_extension(options.format ? outputExtension(*options.format) : std::string())
{
    if (!options.namePattern.empty())
        m_pattern = NamePattern::parse(options.namePattern, m_patternError);
}

OutputTarget OutputNaming::claim(const RunJob& job, const SourceTags& tags)
{
    OutputTarget target;
    target.sourceStamp = fileStamp(job.source);
    if (!job.outputPath.empty()) {
        if (!m_names.hold(job.outputPath)) {
            target.failure = "another job of the run writes " + job.outputPath;
            return target;
        }
        target.path = job.outputPath;
        target.replace = job.replaceOutput;
        target.chosen = true;
        target.folder = job.outputPath.substr(0, job.outputPath.rfind('/'));
        target.base = relativeBaseName(fileNameOf(job.outputPath));
        return target;
    }
    if (!m_options.namePattern.empty() && !m_pattern) {
        target.failure = "the name pattern cannot be used: " + m_patternError;
        return target;
    }

    target.folder = job.folder;
    if (!m_options.keepFolders && !m_pattern) {
        target.base = relativeBaseName(fileNameOf(job.source));
    } else {
        const std::string below = pathBelowRoot(job.source, job.root);
        const std::string kept = OutputLayout().outputPath(below, tags, m_extension);
        std::string relative = kept;
        if (m_pattern) {
            relative = m_pattern->render({tags, relativeBaseName(below), relativeFolder(below)}, m_extension);
            if (m_options.keepFolders && !relativeFolder(kept).empty())
                relative = relativeFolder(kept) + '/' + relative;
        }
        target.folder = joinedPath(job.folder, relativeFolder(relative));
        target.base = relativeBaseName(fileNameOf(relative));
    }

    if (m_options.ifExists == IfExistsChoice::Rename) {
        target.path = m_names.reserveBase(target.folder, target.base, m_extension);
    } else {
        // The name of this source, even when a file holds it; a name held by anything but a file
        // (a folder, a link) is never written through and the next one is taken.
        target.path = m_names.reserveOwn(target.folder, target.base, m_extension);
        while (!target.path.empty() && holderOf(target.path) == NameHolder::Other)
            target.path = m_names.reserveOwn(target.folder, target.base, m_extension);
        if (!target.path.empty() && holderOf(target.path) == NameHolder::RegularFile) {
            switch (m_options.ifExists) {
            case IfExistsChoice::Skip:
                target.upToDate = true;
                break;
            case IfExistsChoice::Update:
                target.upToDate = outputUpToDate(job.source, target.path, m_fingerprint);
                target.replace = !target.upToDate;
                break;
            case IfExistsChoice::Replace:
            case IfExistsChoice::Rename:
                target.replace = true;
                break;
            }
        }
    }
    if (target.path.empty())
        target.failure = "no output file name could be claimed in " + target.folder;
    return target;
}

std::string OutputNaming::claimAgain(const OutputTarget& target)
{
    return m_names.reserveBase(target.folder, target.base, m_extension);
}

SourceTags tagsForNaming(Engine& engine, const std::string& source)
{
    SourceTags tags;
    if (const auto handle = engine.StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly)) {
        engine.ChannelGetTags(handle, tags);
        engine.StreamFree(handle);
    }
    return tags;
}

std::string pathBelowRoot(const std::string& source, const std::string& root)
{
    const std::string prefix = root.ends_with('/') ? root : root + '/';
    if (!root.empty() && source.size() > prefix.size() && source.starts_with(prefix))
        return source.substr(prefix.size());
    return fileNameOf(source);
}

} // namespace tunevale
