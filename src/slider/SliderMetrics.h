#pragma once

namespace tunevale::SliderMetrics
{

// Sizes of the ten bitmaps the control is drawn from, in pixels.
inline constexpr int LeftCapWidth = 11;  // PicLeft, 11 x 20
inline constexpr int RightCapWidth = 14; // PicRight, 14 x 20
inline constexpr int HandleLength = 19;  // PicHandle 19 x 10, PicHandle2 10 x 19
inline constexpr int HandleThickness = 10;
inline constexpr int BottomCapHeight = 11; // PicDown, 20 x 11
inline constexpr int TopCapHeight = 14;    // PicUp, 20 x 14
inline constexpr int Thickness = 20;       // height of the horizontal bitmaps, width of the vertical ones

// The thumb sits this far from the top (horizontal) or left (vertical) edge.
inline constexpr int HandleOffset = 4;

// Both caps and room for two thumbs: the shortest track that still works.
inline constexpr int MinimumLength = RightCapWidth + LeftCapWidth + 2 * HandleLength;

// Pixels across the track strips that form the coloured band, inclusive.
inline constexpr int BandFirst = 6;
inline constexpr int BandLast = 12;

} // namespace tunevale::SliderMetrics
