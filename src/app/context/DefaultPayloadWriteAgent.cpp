// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/context/DefaultPayloadWriteAgent.h"

#include <fcntl.h>

#include "base/Check.h"
#include "base/FileDescriptor.h"
#include "base/StringFormat.h"

namespace Application
{
DefaultPayloadWriteAgent::DefaultPayloadWriteAgent(std::filesystem::path Directory) : m_Directory(std::move(Directory))
{
}

std::filesystem::path DefaultPayloadWriteAgent::NextPath(std::string const& Name)
{
    // Names are made by the server, never taken from a request; a separator
    // would still leave the folder.
    ASSERT(!Name.empty() && Name.find('/') == std::string::npos);
    return m_Directory / StringFormat("%03u-%s", m_Counter.fetch_add(1), Name.c_str());
}

std::filesystem::path DefaultPayloadWriteAgent::Write(Payload const& Entry)
{
    auto const Path = NextPath(Entry.AlternateName.empty() ? Entry.Name : Entry.AlternateName);
    FileDescriptor File(open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    CHECK_ERRNO(File.Get());
    File.Write(Entry.Data, Entry.Size);
    File.Close();
    return Path;
}

std::filesystem::path DefaultPayloadWriteAgent::Write(std::string const& Name, std::span<SharedBytes const> Pieces)
{
    auto const Path = NextPath(Name);
    FileDescriptor File(open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    CHECK_ERRNO(File.Get());
    for(auto const& Piece : Pieces)
        File.Write(Piece->data(), Piece->size());
    File.Close();
    return Path;
}

void DefaultPayloadWriteAgent::DeletePrevious()
{
    std::error_code Error;
    for(auto const& Entry : std::filesystem::directory_iterator(m_Directory, Error))
    {
        auto const Extension = Entry.path().extension();
        if(Entry.is_regular_file(Error) && (Extension == ".m3u8" || Extension == ".xml" || Extension == ".mp4"))
            std::filesystem::remove(Entry.path(), Error);
    }
}
} // namespace Application
