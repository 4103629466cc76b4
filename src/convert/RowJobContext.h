#pragma once

#include "ConversionFlags.h"
#include "JobContext.h"

#include <cstddef>
#include <optional>

namespace tunevale
{

class EventPump;
class JobTable;

// The context of the job at one row of the job table (CurrentRow): status writes go into that
// row, events go through the window's pump. With no row, status writes go nowhere.
class RowJobContext : public JobContext
{
public:
    RowJobContext(JobTable& table, std::optional<std::size_t> row, EventPump& events, const ConversionFlags& flags);

    void setStatus(const std::string& text, std::optional<CellColour> colour) override;
    void processEvents() override;
    bool cancelRequested() const override;
    bool converting() const override;

private:
    JobTable& m_table;
    std::optional<std::size_t> m_row;
    EventPump& m_events;
    const ConversionFlags& m_flags;
};

} // namespace tunevale
