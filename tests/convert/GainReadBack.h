#pragma once

#include "OutputTags.h"
#include "TagReadBack.h"
#include "TestSupport.h"

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <map>
#include <string>

namespace tunevale::test
{

using GainMap = std::map<std::string, std::string>;

// Gains as a measurement gives them, with peaks over 1 and digits past what the tags keep.
inline GainTags measured()
{
    GainTags gains;
    gains.trackGain = -6.523;
    gains.trackPeak = 0.9885474;
    gains.albumGain = -7.1;
    gains.albumPeak = 1.0412;
    return gains;
}

inline bool isGainName(const std::string& upperCaseName)
{
    return upperCaseName.starts_with("REPLAYGAIN_") || upperCaseName.starts_with("R128_");
}

// The loudness tags as TagLib reads them, names in upper case: its generic property map, and for
// WMA and M4A, whose maps leave them out, the ASF attributes and the freeform atoms.
inline GainMap taglibGains(const std::filesystem::path& file)
{
    GainMap gains;
    const auto add = [&gains](const TagLib::String& key, const TagLib::String& value, std::size_t count) {
        const std::string name = key.upper().to8Bit(true);
        if (isGainName(name)) {
            EXPECT_EQ(count, 1u) << name;
            gains[name] = value.to8Bit(true);
        }
    };
    if (file.extension() == ".wma") {
        TagLib::ASF::File asf(file.c_str(), false);
        EXPECT_TRUE(asf.isValid());
        for (const auto& [key, values] : asf.tag()->attributeListMap())
            add(key, values.front().toString(), values.size());
        return gains;
    }
    if (file.extension() == ".m4a") {
        TagLib::MP4::File mp4(file.c_str(), false);
        EXPECT_TRUE(mp4.isValid());
        const TagLib::String mean = "----:com.apple.iTunes:";
        for (const auto& [key, item] : mp4.tag()->itemMap())
            if (key.startsWith(mean))
                add(key.substr(mean.size()), item.toStringList().front(), item.toStringList().size());
        return gains;
    }
    TagLib::FileRef ref(file.c_str(), false);
    EXPECT_FALSE(ref.isNull()) << file;
    if (!ref.isNull())
        for (const auto& [key, values] : ref.file()->properties())
            add(key, values.front(), values.size());
    return gains;
}

// Compares file contents without printing them.
inline ::testing::AssertionResult sameContent(const std::filesystem::path& file, const std::string& expected)
{
    const std::string actual = readFile(file);
    if (actual == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << file << " changed: " << actual.size() << " bytes, " << expected.size()
                                         << " before";
}

// The loudness tags as ffprobe shows them, names in upper case.
inline GainMap probedGains(const std::filesystem::path& file)
{
    GainMap gains;
    for (const auto& [key, value] : probeTags(file)) {
        const std::string name = QString::fromStdString(key).toUpper().toStdString();
        if (isGainName(name)) {
            EXPECT_EQ(gains.count(name), 0u) << name << " is there more than once";
            gains[name] = value;
        }
    }
    return gains;
}

} // namespace tunevale::test
