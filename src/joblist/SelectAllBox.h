#pragma once

namespace tunevale
{

// The select-all tick box (chkSelectAll): 0 unticked, 1 ticked. setValue only shows the new value;
// the caller runs the select-all pass that a change of the box stands for.
class SelectAllBox
{
public:
    virtual ~SelectAllBox() = default;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
};

} // namespace tunevale
