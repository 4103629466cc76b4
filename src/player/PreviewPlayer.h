#pragma once

#include "Engine.h"

#include <functional>
#include <string>

namespace tunevale
{

class MessageBox;
class PreviewGrid;

// Plays one listed file at a time, looping, on the engine's output: the five preview buttons of
// the main window (Play, Pause/Resume, Stop, Play Next, Play Previous). UI thread only.
class PreviewPlayer
{
public:
    PreviewPlayer(Engine& engine, PreviewGrid& grid, MessageBox& messages);
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // The button handlers; other parts of the window drive the player only through these.
    void clickPlay();
    void clickPause();
    void clickStop();
    void clickPlayNext();
    void clickPlayPrev();

    // "Pause" while playing or stopped, "Resume" while paused.
    const std::string& pauseCaption() const { return m_pauseCaption; }
    // Called with the new caption whenever the pause button's caption is set.
    void onPauseCaption(std::function<void(const std::string&)> listener)
    {
        m_pauseCaptionListener = std::move(listener);
    }

    EngineHandle PreviewChannel() const { return m_previewChannel; }
    const std::string& PreviewFilePath() const { return m_previewFilePath; }

    void PlayFile(const std::string& sFilePath);
    void StopPreview();
    void PausePreview();
    void ResumePreview();
    void PlaySelected();
    void PlayNext();
    void PlayPrevious();

private:
    void setPauseCaption(const std::string& caption);
    void showEngineError();
    void releaseChannel();
    void playRow(int row);

    Engine& m_engine;
    PreviewGrid& m_grid;
    MessageBox& m_messages;
    EngineHandle m_previewChannel = 0;
    std::string m_previewFilePath;
    std::string m_pauseCaption = "Pause";
    std::function<void(const std::string&)> m_pauseCaptionListener;
};

} // namespace tunevale
