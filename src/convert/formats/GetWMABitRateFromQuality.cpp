#include "GetWMABitRateFromQuality.h"

#include <QLocale>

#include <cmath>

namespace tunevale
{

namespace
{

long long kilobits(std::uint32_t bitrate)
{
    return static_cast<long long>(std::nearbyint(bitrate / 1000.0));
}

} // namespace

WmaBitrateChoice chooseWmaBitrate(const std::vector<std::uint32_t>& rates, int iQuality)
{
    WmaBitrateChoice choice;
    if (rates.empty()) {
        choice.bitrate = -1;
        return choice;
    }
    const QLocale locale = QLocale::system();
    for (const std::uint32_t rate : rates) {
        if (rate == 0)
            break;
        choice.entries.push_back({locale.toString(kilobits(rate)).toStdString() + " Kbps", rate});
    }
    const int count = static_cast<int>(choice.entries.size());
    if (count == 0)
        return choice;

    // Exact in double for every quality and count, so 1.5 and 2.5 round to the even neighbour.
    int k = static_cast<int>(std::nearbyint(static_cast<double>(iQuality) * count / 100.0));
    if (k == 0)
        k = 1;
    const int index = count - k;
    if (index < 0 || index >= count) {
        choice.bitrate = -1;
        return choice;
    }
    choice.selected = index;
    choice.bitrate = static_cast<std::int32_t>(kilobits(choice.entries[index].bitrate) * 1000);
    return choice;
}

std::int32_t GetWMABitRateFromQuality(Engine& engine, int iFreq, int iChans, int iQuality, bool bLoading,
                                      WmaBitrateListView* view)
{
    if (bLoading)
        return 0;
    if (iFreq <= 0 || iChans <= 0)
        return -1;
    const auto rates =
        engine.WMAEncodeGetRates(static_cast<std::uint32_t>(iFreq), static_cast<std::uint32_t>(iChans), WmaEncodeFlags);
    const WmaBitrateChoice choice = chooseWmaBitrate(rates, iQuality);
    if (view && !rates.empty())
        view->showBitrates(choice.entries, choice.selected);
    return choice.bitrate;
}

} // namespace tunevale
