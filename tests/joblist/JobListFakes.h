#pragma once

#include "DurationSource.h"
#include "FileDialogs.h"
#include "JobTable.h"
#include "JobTableObserver.h"
#include "PreviewControl.h"
#include "RecordingMessageBox.h"
#include "SelectAllBox.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunevale::test
{

// Stands in for the open dialog and folder browser: answers what the test queued.
class ScriptedDialogs : public FileDialogs
{
public:
    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>& filters, const std::string& title,
                                              bool multiSelect) override
    {
        lastFilters = &filters;
        lastTitle = title;
        lastMultiSelect = multiSelect;
        return openAnswer;
    }
    std::string BrowseForFolder(const std::string& title, bool newStyle) override
    {
        lastTitle = title;
        lastNewStyle = newStyle;
        return folderAnswer;
    }
    std::optional<std::string> openAnswer;
    std::string folderAnswer;
    const std::vector<FileFilter>* lastFilters = nullptr;
    std::string lastTitle;
    bool lastMultiSelect = false;
    bool lastNewStyle = true;
};

class TickBox : public SelectAllBox
{
public:
    int value() const override { return m_value; }
    void setValue(int value) override { m_value = value; }

private:
    int m_value = 0;
};

class PlayingPreview : public PreviewControl
{
public:
    std::string PreviewFilePath() const override { return playing; }
    void stopPreview() override { ++stops; }
    std::string playing;
    int stops = 0;
};

// A duration source with a fixed answer per path ("00:03" for every other file); counts its calls.
class TableDurations : public DurationSource
{
public:
    std::string GetDurationText(const std::string& filePath) override
    {
        ++calls;
        const auto found = answers.find(filePath);
        return found == answers.end() ? "00:03" : found->second;
    }
    std::map<std::string, std::string> answers;
    int calls = 0;
};

// Keeps a copy of the rows as a view does from the notifications alone, to check that they suffice.
class MirrorView : public JobTableObserver
{
public:
    explicit MirrorView(const std::function<const JobTable&()>& table) : m_table(table) {}
    void aboutToAppendRows(std::size_t first, std::size_t count) override
    {
        pendingAppend = {first, count};
        EXPECT_EQ(first, rows.size());
    }
    void rowsAppended(std::size_t first, std::size_t count) override
    {
        EXPECT_EQ(pendingAppend, (std::pair{first, count}));
        for (std::size_t row = first; row < first + count; ++row)
            rows.push_back(m_table().at(row));
        ++appends;
    }
    void rowChanged(std::size_t row) override
    {
        rows.at(row) = m_table().at(row);
        ++changes;
    }
    void aboutToReplaceTable() override { replacing = true; }
    void tableReplaced() override
    {
        EXPECT_TRUE(replacing);
        replacing = false;
        rows = m_table().jobs();
        ++replacements;
    }
    std::vector<Job> rows;
    std::pair<std::size_t, std::size_t> pendingAppend;
    bool replacing = false;
    int appends = 0, changes = 0, replacements = 0;

private:
    std::function<const JobTable&()> m_table;
};

} // namespace tunevale::test
