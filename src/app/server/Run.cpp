// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/Run.h"

#include <sched.h>

#include "app/context/Console.h"
#include "app/server/LocalAddresses.h"
#include "app/server/OpenFileLimit.h"
#include "app/server/Server.h"
#include "base/Check.h"
#include "base/MediaTimeText.h"
#include "base/StringFormat.h"
#include "media/CodecsProbe.h"
#include "mf/Platform.h"

namespace Application
{
namespace
{
void ApplyProcessAffinity(std::uint32_t Mask)
{
    if(Mask == 0)
        return;
    cpu_set_t Set;
    CPU_ZERO(&Set);
    for(unsigned Index = 0; Index < 32; ++Index)
        if(Mask & (1u << Index))
            CPU_SET(Index, &Set);
    CHECK_ERRNO(sched_setaffinity(0, sizeof Set, &Set));
}

std::filesystem::path GetModuleDirectory()
{
    std::error_code Error;
    auto const Path = std::filesystem::read_symlink("/proc/self/exe", Error);
    CHECK_CONDITION(!Error, HResultFromErrno(Error.value()));
    return Path.parent_path();
}

// The settings with the codecs texts of every default variant row, learned
// by encoding a little of each before the first request is accepted.
Settings WithProbedCodecs(Settings const& Value)
{
    VideoSessionContext const Context(Value.AdapterIndex);
    if(auto const Adapter = Context.GetRequestedAdapter())
        ConsoleLine("Video adapter %u is not used: pictures are drawn and encoded in software", *Adapter);
    Settings Probed = Value;
    CodecsProbe Probe(Context);
    for(auto* Set : Probed.DefaultVariants.All())
        Probe.Fill(Set->VideoVariants, Set->AudioVariants);
    return Probed;
}

void PrintLocalAddresses()
{
    auto const Addresses = ListLocalAddresses();
    if(!Addresses.empty())
        ConsoleLine("Local IP Addresses: %s", Join(Addresses, ", ").c_str());
}
} // namespace

void Run(Settings const& Settings, ManualResetEvent& Termination, std::function<void()> const& Serving)
{
    ApplyProcessAffinity(Settings.ProcessAffinityMask);
    auto ModuleDirectory = GetModuleDirectory();
    auto const& AudioVariants = Settings.DefaultVariants.H264.AudioVariants;
    ASSERT(!AudioVariants.empty());
    ConsoleLine("Using audio segment duration: %s", MediaTimeText(AudioVariants.front().SegmentDuration).c_str());
    if(!Settings.IsService)
        PrintLocalAddresses();
    // The media platform outlives the server, whose tasks run pipelines on it.
    MF::PlatformScope MediaPlatform;
    auto const Probed = WithProbedCodecs(Settings);
    HttpServer::Limits Bounds;
    Bounds.SetConnectionLimits(OpenFileLimit::Fit(Settings.MaximalConnections, Bounds.MaximalLingeringSockets), Settings.MaximalConnectionsPerAddress);
    Server Instance(Probed, std::move(ModuleDirectory), Bounds);
    Instance.Run(Termination, Serving);
}
} // namespace Application
