#include "PreviewPlayer.h"

#include "MessageBox.h"
#include "PreviewGrid.h"

namespace tunevale
{

namespace
{
constexpr std::uint32_t kPlayStreamFlags = StreamFlag::Loop | StreamFlag::Fx | StreamFlag::Unicode;
constexpr std::uint32_t kPlayMusicFlags = StreamFlag::Loop | StreamFlag::MusicRamp | StreamFlag::Unicode;
constexpr const char* kPause = "Pause";
constexpr const char* kResume = "Resume";
} // namespace

PreviewPlayer::PreviewPlayer(Engine& engine, PreviewGrid& grid, MessageBox& messages)
    : m_engine(engine), m_grid(grid), m_messages(messages)
{
}

void PreviewPlayer::clickPlay()
{
    if (m_previewChannel != 0)
        StopPreview();
    PlaySelected();
    setPauseCaption(kPause);
}

void PreviewPlayer::clickPause()
{
    if (m_previewChannel == 0)
        return;
    if (m_pauseCaption == kPause) {
        PausePreview();
        setPauseCaption(kResume);
    } else {
        ResumePreview();
        setPauseCaption(kPause);
    }
}

void PreviewPlayer::clickStop()
{
    if (m_previewChannel == 0)
        return;
    StopPreview();
    releaseChannel();
    setPauseCaption(kPause);
}

void PreviewPlayer::clickPlayNext()
{
    setPauseCaption(kPause);
    PlayNext();
}

void PreviewPlayer::clickPlayPrev()
{
    setPauseCaption(kPause);
    PlayPrevious();
}

void PreviewPlayer::PlayFile(const std::string& sFilePath)
{
    // A stopped channel is never played again, so it is released here rather than left open
    // until the engine shuts down.
    if (m_previewChannel != 0) {
        StopPreview();
        releaseChannel();
    }
    m_previewChannel = m_engine.StreamCreateFile(sFilePath, 0, 0, kPlayStreamFlags);
    if (m_previewChannel == 0)
        m_previewChannel = m_engine.MusicLoad(sFilePath, 0, 0, kPlayMusicFlags, 0);
    if (m_previewChannel != 0 && !m_engine.ChannelPlay(m_previewChannel, false))
        showEngineError();
}

void PreviewPlayer::StopPreview()
{
    if (!m_engine.ChannelStop(m_previewChannel))
        showEngineError();
}

void PreviewPlayer::PausePreview()
{
    if (!m_engine.ChannelPause(m_previewChannel))
        showEngineError();
}

void PreviewPlayer::ResumePreview()
{
    if (!m_engine.ChannelPlay(m_previewChannel, false))
        showEngineError();
}

void PreviewPlayer::PlaySelected()
{
    m_grid.markActiveAndSelectedRows();
    for (int row = m_grid.rowCount() - 1; row >= 0; --row) {
        if (m_grid.isRowMarked(row)) {
            m_previewFilePath = m_grid.pathAt(row);
            PlayFile(m_previewFilePath);
            return;
        }
    }
}

void PreviewPlayer::PlayNext()
{
    if (m_previewFilePath.empty())
        return;
    const int rows = m_grid.rowCount();
    for (int row = 0; row + 1 < rows; ++row) {
        if (m_grid.pathAt(row) == m_previewFilePath) {
            m_grid.setRowSelected(row, false);
            playRow(row + 1);
            return;
        }
    }
}

void PreviewPlayer::PlayPrevious()
{
    if (m_previewFilePath.empty())
        return;
    for (int row = m_grid.rowCount() - 1; row > 0; --row) {
        if (m_grid.pathAt(row) == m_previewFilePath) {
            m_grid.setRowSelected(row, false);
            playRow(row - 1);
            return;
        }
    }
}

void PreviewPlayer::playRow(int row)
{
    m_grid.setRowSelected(row, true);
    m_previewFilePath = m_grid.pathAt(row);
    PlayFile(m_previewFilePath);
}

void PreviewPlayer::setPauseCaption(const std::string& caption)
{
    m_pauseCaption = caption;
    if (m_pauseCaptionListener)
        m_pauseCaptionListener(caption);
}

void PreviewPlayer::showEngineError()
{
    m_messages.show("(Error code: " + std::to_string(m_engine.ErrorGetCode()) + ")", "Tunevale", MessageIcon::Critical,
                    MessageButtons::Ok);
}

void PreviewPlayer::releaseChannel()
{
    m_engine.StreamFree(m_previewChannel);
    m_previewChannel = 0;
}

} // namespace tunevale
