#pragma once

#include <QColor>

namespace tunevale::theme
{

// The window's four theme colours, lightest to darkest.
inline const QColor C1{255, 192, 255};
inline const QColor C2{255, 128, 255};
inline const QColor C3{128, 0, 128};
inline const QColor C4{64, 0, 64};

// The slider's fill colour in the theme.
inline const QColor SliderFill{255, 0, 0};

// Status texts: "Complete" in green; "Cancelled", "Error" and "Codec Not Supported" in red.
inline const QColor StatusGreen{113, 177, 98};
inline const QColor StatusRed{220, 10, 10};

// The progress bar of a converting job.
inline const QColor ProgressBar{113, 135, 79};

} // namespace tunevale::theme
