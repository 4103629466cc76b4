#pragma once

#include "NamePattern.h"

#include <optional>
#include <string>

namespace tunevale
{

// The base name of a relative path ("a/b/live.2010.flac" -> "live.2010") and its folder ("a/b").
std::string relativeBaseName(const std::string& relativePath);
std::string relativeFolder(const std::string& relativePath);

// Where an output goes, relative to the output folder: the source's own folders kept (every
// level made safe) or a name pattern filled in from its tags.
class OutputLayout
{
public:
    OutputLayout() = default; // keep sub-folders
    explicit OutputLayout(NamePattern pattern) : m_pattern(std::move(pattern)) {}

    // Whether the path depends on the source's tags (so that reading them is needed to place it).
    bool usesTags() const { return m_pattern.has_value(); }

    // sourcePath: relative to the source root, "/" between levels; extension without a dot.
    std::string outputPath(const std::string& sourcePath, const SourceTags& tags, const std::string& extension) const;

private:
    std::optional<NamePattern> m_pattern;
};

} // namespace tunevale
