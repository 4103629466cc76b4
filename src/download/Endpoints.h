#pragma once

// Every outside address Tunevale knows, in one place. Packagers who host the support package
// elsewhere change them here.
namespace tunevale::endpoints
{

// The maker's web site, opened from the about panel.
inline constexpr const char* kMakerWebSite = "https://www.brindle-tunevale.example/";

// WMA output on Linux comes from the FFmpeg libraries (the wmav2 encoder and the ASF muxer). The
// maker's download server offers a package that depends on them; the desktop's package installer
// opens it once downloaded.
inline constexpr const char* kWmaSupportDownloadUrl =
    "https://www.brindle-tunevale.example/download/tunevale-wma-support.deb";
inline constexpr const char* kWmaSupportFileName = "tunevale-wma-support.deb";
inline constexpr const char* kWmaSupportTitle = "FFmpeg audio libraries (WMA support)...";

// Where people read how to get the FFmpeg libraries for their distribution.
inline constexpr const char* kWmaSupportPageUrl = "https://ffmpeg.org/download.html#build-linux";

} // namespace tunevale::endpoints
