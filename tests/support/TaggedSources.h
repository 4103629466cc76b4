#pragma once

#include "SourceTags.h"
#include "TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunevale::test
{

// Tags in Cyrillic, CJK and emoji, with every number set.
inline SourceTags unicodeTags()
{
    SourceTags tags;
    tags.title = "Заголовок 标题 🎵";
    tags.artist = "Артист 艺术家";
    tags.album = "Альбом アルバム";
    tags.albumArtist = "Разные 群星 🎤";
    tags.track = 3;
    tags.trackTotal = 12;
    tags.disc = 1;
    tags.discTotal = 2;
    tags.date = "2021-05-03";
    tags.genre = "Жанр 流派";
    tags.comment = "Комментарий 评论 😀";
    tags.composer = "Композитор 作曲家";
    return tags;
}

// A small picture made by ffmpeg; the extension chooses PNG or JPEG.
inline TagPicture makeCover(const std::filesystem::path& file, const std::string& colour = "red",
                            const std::string& size = "32x24")
{
    ffmpeg({"-f", "lavfi", "-i", "color=c=" + colour + ":s=" + size + ":d=1", "-frames:v", "1", file.string()});
    const std::string bytes = readFile(file);
    return {file.extension() == ".png" ? "image/png" : "image/jpeg", {bytes.begin(), bytes.end()}};
}

// ffmpeg's "-metadata" arguments for the tags, under its generic names.
inline std::vector<std::string> metadataArguments(const SourceTags& tags)
{
    const std::pair<const char*, std::string> entries[] = {
        {"title", tags.title},
        {"artist", tags.artist},
        {"album", tags.album},
        {"album_artist", tags.albumArtist},
        {"track", std::to_string(tags.track) + "/" + std::to_string(tags.trackTotal)},
        {"disc", std::to_string(tags.disc) + "/" + std::to_string(tags.discTotal)},
        {"date", tags.date},
        {"genre", tags.genre},
        {"comment", tags.comment},
        {"composer", tags.composer},
    };
    std::vector<std::string> arguments;
    for (const auto& [key, value] : entries)
        arguments.insert(arguments.end(), {"-metadata", std::string(key) + "=" + value});
    return arguments;
}

// A one-second tone with the tags and, when given, a front cover attached as a picture stream.
// audio: the encoding arguments ({"-c:a", "flac"}); the format follows the extension.
inline std::filesystem::path makeTaggedSource(const std::filesystem::path& file, const SourceTags& tags,
                                              const std::filesystem::path& cover, const std::vector<std::string>& audio)
{
    std::vector<std::string> arguments{"-f", "lavfi", "-i", "sine=frequency=440:duration=1"};
    if (!cover.empty())
        arguments.insert(arguments.end(), {"-i", cover.string(), "-map", "0", "-map", "1", "-c:v", "copy",
                                           "-disposition:v", "attached_pic", "-metadata:s:v", "comment=Cover (front)"});
    const auto metadata = metadataArguments(tags);
    arguments.insert(arguments.end(), metadata.begin(), metadata.end());
    arguments.insert(arguments.end(), audio.begin(), audio.end());
    arguments.push_back(file.string());
    ffmpeg(arguments);
    return file;
}

} // namespace tunevale::test
