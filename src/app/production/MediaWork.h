// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/context/ServerContext.h"
#include "app/production/MediaProductions.h"
#include "app/production/SegmentTaskGroup.h"
#include "media/CodecsProbe.h"
#include "media/VideoSessionContext.h"

namespace Application
{
// What every route that makes media shares, for the whole run of the
// server: the video context (the processor share of each encoder), the
// codecs of the audio rows, the productions with their cache, and the two
// task groups, video and audio, each bounded to one pipeline per processor.
// Nothing that runs a pipeline runs on the request loop. Stop drops the
// work that has not started; the destructor waits for the rest.
class MediaWork
{
public:
    explicit MediaWork(ServerContext& Server);
    MediaWork(MediaWork const&) = delete;
    MediaWork& operator=(MediaWork const&) = delete;

    // On the I/O thread, when the server stops: tasks that have not
    // started are dropped, closing their connections.
    void Stop();

    VideoSessionContext const& GetVideoContext() const noexcept { return m_VideoContext; }
    // The codecs texts of audio rows, for the manifests.
    CodecsProbe& GetCodecsProbe() noexcept { return m_CodecsProbe; }
    MediaProductions& GetProductions() noexcept { return m_Productions; }
    SegmentTaskGroup& GetVideoTasks() noexcept { return m_VideoTasks; }
    SegmentTaskGroup& GetAudioTasks() noexcept { return m_AudioTasks; }

private:
    VideoSessionContext const m_VideoContext;
    CodecsProbe m_CodecsProbe{m_VideoContext};
    MediaProductions m_Productions;
    // Declared last: their destructors wait for the tasks, which use the above.
    SegmentTaskGroup m_VideoTasks;
    SegmentTaskGroup m_AudioTasks;
};
} // namespace Application
