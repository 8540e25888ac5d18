// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/HostText.h"

#include "app/context/Console.h"

namespace Application
{
void PrintBanner(VersionInformation const& Information)
{
    ConsoleLine("%s %s (%s)", Information.FileName.c_str(), Information.GitDescribe.c_str(), Information.Configuration.c_str());
    ConsoleLine("%s", Information.GitLog.c_str());
    ConsoleLine("--");
}

void PrintSyntax()
{
    static constexpr char const* Lines[] = {
        "Syntax: Quorvel [options]",
        "",
        "Options: ",
        "  -DisableDebugOutput - Disable forward of debug output to console output in debug mode (should appear before -Debug)",
        "  -Debug[:<Normal|Full|<Value>>] - Enable self-debugging capability with specific minidump type",
        "  -ProcessAffinityMask <mask> - Set process affinity mask",
        "  -AdapterIndex <index> - Use DXGI adapter with specified index (default is first available DXGI adapter with index 0)",
        "  -Software - Used software video source and encoders, with no DXGI adapter referencing",
        "  -Location <location> - Use specific HTTP Server API binding, can be used multiple times",
        "  -WriteResponseBody - Write produced response to files, in Response subdirectory",
        "  -DeletePreviousResponseBodies - Delete previous files with produced responses, in Response subdirectory",
        "  -SegmentCacheBytes <bytes> - Keep made media in memory up to this many bytes (default 536870912, 0 keeps nothing)",
        "  -AssetStore <redis://host:port> - Share assets and the live time base with other instances in Redis",
        "  -MaxConnections <count> - Serve at most this many connections at once (default 512, 1 to 1048576)",
        "  -MaxConnectionsPerAddress <count> - Serve at most this many connections at once from one client address (default 128, 2 to 1048576)",
        "  -TrustedProxy <address> - Take the client address of requests from this proxy from X-Forwarded-For, can be used multiple times",
    };
    for(char const* Line : Lines)
        ConsoleLine("%s", Line);
}
} // namespace Application
