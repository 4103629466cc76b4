#pragma once

namespace tunevale
{

// How a decoder opens its file: sourceResolution delivers a lossless source as it stands (see
// StreamFlag::SourceResolution); prescan makes length() exact, from a header that the file's size
// backs up or else by decoding the file once when it opens.
struct DecodeOptions {
    bool sourceResolution = false;
    bool prescan = false;
};

} // namespace tunevale
