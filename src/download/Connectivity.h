#pragma once

#include <QUrl>

namespace tunevale
{

// Tells whether a download from the given address can be tried at all; UI thread; never blocks.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual bool isConnected(const QUrl& url) = 0;
};

} // namespace tunevale
