#pragma once

class QWidget;

namespace tunevale
{

// Colours every control of the window by its kind: panels (but the one named "MyFrame1"),
// buttons, text boxes, the job grid, combo boxes, sliders, labels and lines. Option buttons and
// check boxes keep their own colours.
void ApplyTheme(QWidget& window);

} // namespace tunevale
