// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/MediaWork.h"

#include "base/Trace.h"

namespace Application
{
using Gauge = ServerMetrics::Gauge;

MediaWork::MediaWork(ServerContext& Server) :
    m_VideoContext(Server.Settings.AdapterIndex, VideoSessionContext::ServerEncoderThreads),
    m_Productions(Server, Server.Settings.SegmentCacheBytes),
    m_VideoTasks(SegmentTaskGroup::DefaultWorkerCount(), {Server.Metrics, Gauge::VideoTasksWaiting, Gauge::VideoTasksRunning}),
    m_AudioTasks(SegmentTaskGroup::DefaultWorkerCount(), {Server.Metrics, Gauge::AudioTasksWaiting, Gauge::AudioTasksRunning})
{
    // Manifests ask for the codecs text of their audio row on the request
    // loop: every audio codec is learned here, before the first request.
    for(auto const& Variant : Server.Settings.DefaultVariants.H264.AudioVariants)
        for(auto const Subtype : {AudioSubtype::Aac, AudioSubtype::Flac, AudioSubtype::Opus, AudioSubtype::Ac3, AudioSubtype::Ec3})
            m_CodecsProbe.ProbeAudio(Variant.Alternative(Subtype));
}

void MediaWork::Stop()
{
    std::size_t const Dropped = m_VideoTasks.DropWaiting() + m_AudioTasks.DropWaiting();
    TRACE("Dropped %zu media tasks that had not started\n", Dropped);
}
} // namespace Application
