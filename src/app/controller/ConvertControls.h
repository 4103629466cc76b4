#pragma once

#include <string>

namespace tunevale
{

enum class ConvertButton { cmdConvert, cmdConvertSelected };

// The window's controls that a conversion run changes; UI thread. The window binds each call to
// its widgets; control names are those of the main window (cmdRemove, optSameFolder, ...).
class ConvertControls
{
public:
    virtual ~ConvertControls() = default;
    virtual std::string caption(ConvertButton button) const = 0;
    virtual void setCaption(ConvertButton button, const std::string& caption) = 0;
    virtual void setButtonEnabled(ConvertButton button, bool enabled) = 0;
    virtual void setControlEnabled(const std::string& control, bool enabled) = 0;
};

} // namespace tunevale
