#include "RowJobContext.h"

#include "EventPump.h"
#include "JobTable.h"

namespace tunevale
{

RowJobContext::RowJobContext(JobTable& table, std::optional<std::size_t> row, EventPump& events,
                             const ConversionFlags& flags)
    : m_table(table), m_row(row), m_events(events), m_flags(flags)
{
}

void RowJobContext::setStatus(const std::string& text, std::optional<CellColour> colour)
{
    if (!m_row || *m_row >= m_table.size())
        return;
    if (colour)
        m_table.setStatusColour(*m_row, colour);
    m_table.setStatus(*m_row, text);
}

void RowJobContext::processEvents()
{
    m_events.processEvents();
}

bool RowJobContext::cancelRequested() const
{
    return m_flags.bCancelConversion;
}

bool RowJobContext::converting() const
{
    return m_flags.bConverting;
}

} // namespace tunevale
