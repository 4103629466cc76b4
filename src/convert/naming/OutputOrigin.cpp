#include "OutputOrigin.h"

#include "SourceScan.h"

#include <cstdio>
#include <sys/xattr.h>

namespace tunevale
{

namespace
{

constexpr const char* AttributeName = "user.tunevale.origin";
constexpr int FormatVersion = 1;
// The settings fingerprint is a few hundred bytes; anything far larger is not this program's record.
constexpr std::size_t MaxRecordBytes = 16 * 1024;

} // namespace

bool writeOutputOrigin(const std::string& path, const FileStamp& source, const std::string& settings)
{
    const auto output = fileStamp(path);
    if (!output)
        return false;
    char head[128];
    std::snprintf(head, sizeof head, "%d %llu %lld %llu %lld\n", FormatVersion,
                  static_cast<unsigned long long>(source.size), static_cast<long long>(source.mtimeNs),
                  static_cast<unsigned long long>(output->size), static_cast<long long>(output->mtimeNs));
    const std::string record = head + settings;
    return ::setxattr(path.c_str(), AttributeName, record.data(), record.size(), 0) == 0;
}

std::optional<OutputOrigin> readOutputOrigin(const std::string& path)
{
    std::string record(MaxRecordBytes, '\0');
    const auto length = ::getxattr(path.c_str(), AttributeName, record.data(), record.size());
    if (length <= 0)
        return std::nullopt;
    record.resize(static_cast<std::size_t>(length));
    const auto newline = record.find('\n');
    if (newline == std::string::npos)
        return std::nullopt;
    int version = 0;
    unsigned long long sourceSize = 0, outputSize = 0;
    long long sourceTime = 0, outputTime = 0;
    const std::string head = record.substr(0, newline);
    if (std::sscanf(head.c_str(), "%d %llu %lld %llu %lld", &version, &sourceSize, &sourceTime, &outputSize,
                    &outputTime) != 5 ||
        version != FormatVersion)
        return std::nullopt;
    return OutputOrigin{{sourceSize, sourceTime}, {outputSize, outputTime}, record.substr(newline + 1)};
}

bool outputUpToDate(const std::string& sourcePath, const std::string& outputPath, const std::string& settings)
{
    const auto source = fileStamp(sourcePath);
    const auto output = fileStamp(outputPath);
    if (!source || !output)
        return false;
    if (const auto origin = readOutputOrigin(outputPath))
        return origin->source == *source && origin->settings == settings;
    return output->mtimeNs >= source->mtimeNs;
}

} // namespace tunevale
