#include "app/DefaultPayloadWriteAgent.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
// Closes the descriptor on every way out.
class FileDescriptor
{
public:
    explicit FileDescriptor(int Value) : m_Value(Value) {}
    ~FileDescriptor()
    {
        if(m_Value >= 0)
            close(m_Value);
    }
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;
    int Get() const noexcept { return m_Value; }
    int Release() noexcept { return std::exchange(m_Value, -1); }

private:
    int m_Value;
};
} // namespace

DefaultPayloadWriteAgent::DefaultPayloadWriteAgent(std::filesystem::path Directory) : m_Directory(std::move(Directory))
{
}

std::filesystem::path DefaultPayloadWriteAgent::Write(Payload const& Entry)
{
    std::string const& Name = Entry.AlternateName.empty() ? Entry.Name : Entry.AlternateName;
    // Names are made by the server, never taken from a request; a separator
    // would still leave the folder.
    ASSERT(!Name.empty() && Name.find('/') == std::string::npos);
    std::uint32_t const Number = m_Counter.fetch_add(1);
    auto const Path = m_Directory / StringFormat("%03u-%s", Number, Name.c_str());
    FileDescriptor File(open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    CHECK_ERRNO(File.Get());
    auto const* Data = static_cast<char const*>(Entry.Data);
    std::size_t Left = Entry.Size;
    while(Left > 0)
    {
        ssize_t const Written = write(File.Get(), Data, Left);
        if(Written < 0 && errno == EINTR)
            continue;
        CHECK_ERRNO(Written);
        Data += Written;
        Left -= static_cast<std::size_t>(Written);
    }
    CHECK_ERRNO(close(File.Release()));
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
