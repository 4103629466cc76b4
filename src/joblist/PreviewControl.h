#pragma once

#include <string>

namespace tunevale
{

// What the job list needs of the preview player; UI thread.
class PreviewControl
{
public:
    virtual ~PreviewControl() = default;
    // The path of the file last sent to the player, empty when none.
    virtual std::string PreviewFilePath() const = 0;
    // What a click of the player's Stop button does.
    virtual void stopPreview() = 0;
};

} // namespace tunevale
