// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/CoreFileWriter.h"

#include <algorithm>
#include <cstring>

#include <elf.h>
#include <fcntl.h>
#include <sys/procfs.h>
#include <unistd.h>

#include "base/Check.h"
#include "base/FileDescriptor.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
#if defined(__x86_64__)
constexpr Elf64_Half Machine = EM_X86_64;
#elif defined(__aarch64__)
constexpr Elf64_Half Machine = EM_AARCH64;
#else
#error "ELF machine of this architecture unknown"
#endif

// Notes are 4-byte aligned in core files, as the kernel writes them.
class NoteBuilder
{
public:
    template <typename ValueT>
    void Add(char const* Name, Elf64_Word Type, ValueT const& Value)
    {
        AddBytes(Name, Type, &Value, sizeof Value);
    }

    void AddBytes(char const* Name, Elf64_Word Type, void const* Data, std::size_t Size)
    {
        Elf64_Nhdr const Header{static_cast<Elf64_Word>(std::strlen(Name) + 1), static_cast<Elf64_Word>(Size), Type};
        Append(&Header, sizeof Header);
        Append(Name, Header.n_namesz);
        Pad();
        Append(Data, Size);
        Pad();
    }

    std::vector<std::uint8_t> Take() { return std::move(m_Bytes); }

private:
    void Append(void const* Data, std::size_t Size)
    {
        auto const* Bytes = static_cast<std::uint8_t const*>(Data);
        m_Bytes.insert(m_Bytes.end(), Bytes, Bytes + Size);
    }
    void Pad() { m_Bytes.resize((m_Bytes.size() + 3) / 4 * 4, 0); }

    std::vector<std::uint8_t> m_Bytes;
};

elf_prstatus MakeThreadStatus(ProcessSnapshot const& Snapshot, ThreadSnapshot const& Thread)
{
    elf_prstatus Status{};
    Status.pr_info.si_signo = Thread.CurrentSignal;
    Status.pr_cursig = static_cast<short>(Thread.CurrentSignal);
    Status.pr_pid = Thread.Thread;
    Status.pr_ppid = Snapshot.Parent;
    Status.pr_pgrp = Snapshot.ProcessGroup;
    Status.pr_sid = Snapshot.Session;
    std::memcpy(&Status.pr_reg, &Thread.Registers, sizeof Status.pr_reg);
    Status.pr_fpvalid = Thread.HasFloatingPointRegisters ? 1 : 0;
    return Status;
}

elf_prpsinfo MakeProcessInformation(ProcessSnapshot const& Snapshot)
{
    elf_prpsinfo Information{};
    Information.pr_state = 0;
    Information.pr_sname = 'R';
    Information.pr_uid = Snapshot.User;
    Information.pr_gid = Snapshot.Group;
    Information.pr_pid = Snapshot.Process;
    Information.pr_ppid = Snapshot.Parent;
    Information.pr_pgrp = Snapshot.ProcessGroup;
    Information.pr_sid = Snapshot.Session;
    std::strncpy(Information.pr_fname, Snapshot.Command.c_str(), sizeof Information.pr_fname - 1);
    std::strncpy(Information.pr_psargs, Snapshot.Arguments.c_str(), sizeof Information.pr_psargs - 1);
    return Information;
}

// NT_FILE: count, page size, (start, end, offset in pages) per file
// mapping, then the file names.
std::vector<std::uint8_t> MakeFileNote(std::vector<MemoryRegion> const& Regions, std::uint64_t PageSize)
{
    std::vector<std::uint64_t> Numbers{0, PageSize};
    std::string Names;
    for(auto const& Region : Regions)
        if(Region.IsFileBacked())
        {
            Numbers.insert(Numbers.end(), {Region.Start, Region.End, Region.Offset / PageSize});
            Names.append(Region.Path).push_back('\0');
            ++Numbers[0];
        }
    std::vector<std::uint8_t> Bytes(Numbers.size() * sizeof(std::uint64_t));
    std::memcpy(Bytes.data(), Numbers.data(), Bytes.size());
    Bytes.insert(Bytes.end(), Names.begin(), Names.end());
    return Bytes;
}

bool IsZero(std::uint8_t const* Bytes, std::size_t Size)
{
    return std::all_of(Bytes, Bytes + Size, [](std::uint8_t Byte) { return Byte == 0; });
}
} // namespace

std::vector<std::uint8_t> CoreFileWriter::BuildNotes() const
{
    // The kernel's order: the first thread's status, then the process-wide
    // notes, then the first thread's other registers, then every other
    // thread. Debuggers take the first thread as the current one.
    NoteBuilder Notes;
    for(std::size_t Index = 0; Index < m_Snapshot.Threads.size(); ++Index)
    {
        auto const& Thread = m_Snapshot.Threads[Index];
        Notes.Add("CORE", NT_PRSTATUS, MakeThreadStatus(m_Snapshot, Thread));
        if(Index == 0)
        {
            Notes.Add("CORE", NT_PRPSINFO, MakeProcessInformation(m_Snapshot));
            Notes.Add("CORE", NT_SIGINFO, m_Snapshot.Signal);
            Notes.AddBytes("CORE", NT_AUXV, m_Snapshot.Auxiliary.data(), m_Snapshot.Auxiliary.size());
            auto const Files = MakeFileNote(m_Snapshot.Regions, m_PageSize);
            Notes.AddBytes("CORE", NT_FILE, Files.data(), Files.size());
        }
        if(Thread.HasFloatingPointRegisters)
            Notes.Add("CORE", NT_FPREGSET, Thread.FloatingPointRegisters);
    }
    return Notes.Take();
}

std::uint64_t CoreFileWriter::WriteMemory(FileDescriptor const& File, std::uint64_t FileOffset, CoreSegment const& Segment) const
{
    // Pages are read in pieces; an unreadable page stays a hole (zeros).
    constexpr std::uint64_t PieceSize = 1u << 20;
    std::vector<std::uint8_t> Piece(PieceSize);
    std::uint64_t Written = 0;
    for(std::uint64_t Address = Segment.Start; Address < Segment.End;)
    {
        std::size_t const Wanted = static_cast<std::size_t>(std::min(PieceSize, Segment.End - Address));
        std::size_t const Count = m_Memory.Read(Address, Piece.data(), Wanted);
        for(std::size_t Page = 0; Page < Count; Page += m_PageSize)
        {
            std::size_t const Size = std::min<std::size_t>(m_PageSize, Count - Page);
            if(!IsZero(Piece.data() + Page, Size))
            {
                File.WriteAt(Piece.data() + Page, Size, FileOffset + (Address - Segment.Start) + Page);
                Written += Size;
            }
        }
        // Past a short read, go on at the next page.
        Address += Count == Wanted ? Wanted : (Count / m_PageSize + 1) * m_PageSize;
    }
    return Written;
}

std::uint64_t CoreFileWriter::Write(std::filesystem::path const& Path, std::vector<CoreSegment> const& Segments) const
{
    auto const Notes = BuildNotes();
    std::size_t const HeaderCount = 1 + Segments.size();
    bool const ExtendedCount = HeaderCount >= PN_XNUM;

    Elf64_Ehdr Header{};
    std::memcpy(Header.e_ident, ELFMAG, SELFMAG);
    Header.e_ident[EI_CLASS] = ELFCLASS64;
    Header.e_ident[EI_DATA] = ELFDATA2LSB;
    Header.e_ident[EI_VERSION] = EV_CURRENT;
    Header.e_ident[EI_OSABI] = ELFOSABI_NONE;
    Header.e_type = ET_CORE;
    Header.e_machine = Machine;
    Header.e_version = EV_CURRENT;
    Header.e_phoff = sizeof(Elf64_Ehdr);
    Header.e_ehsize = sizeof(Elf64_Ehdr);
    Header.e_phentsize = sizeof(Elf64_Phdr);
    Header.e_phnum = ExtendedCount ? PN_XNUM : static_cast<Elf64_Half>(HeaderCount);
    std::uint64_t Offset = Header.e_phoff + HeaderCount * sizeof(Elf64_Phdr);
    Elf64_Shdr Section{};
    if(ExtendedCount)
    {
        // More segments than the header can count: section 0 holds the number.
        Header.e_shoff = Offset;
        Header.e_shentsize = sizeof(Elf64_Shdr);
        Header.e_shnum = 1;
        Section.sh_info = static_cast<Elf64_Word>(HeaderCount);
        Offset += sizeof(Elf64_Shdr);
    }

    std::vector<Elf64_Phdr> Programs;
    Programs.push_back({PT_NOTE, 0, Offset, 0, 0, Notes.size(), 0, 4});
    Offset = (Offset + Notes.size() + m_PageSize - 1) / m_PageSize * m_PageSize;
    for(auto const& Segment : Segments)
    {
        Elf64_Word const Flags = (Segment.Readable ? PF_R : 0) | (Segment.Writable ? PF_W : 0) | (Segment.Executable ? PF_X : 0);
        std::uint64_t const Size = Segment.End - Segment.Start;
        std::uint64_t const FileSize = Segment.Dumped ? Size : 0;
        Programs.push_back({PT_LOAD, Flags, Offset, Segment.Start, 0, FileSize, Size, m_PageSize});
        Offset += FileSize;
    }

    FileDescriptor File(open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if(File.Get() < 0)
    {
        int const Error = errno;
        throw HResultError(HResultFromErrno(Error), StringFormat("Cannot create %s: %s", Path.c_str(), strerror(Error)));
    }
    File.WriteAt(&Header, sizeof Header, 0);
    File.WriteAt(Programs.data(), Programs.size() * sizeof(Elf64_Phdr), Header.e_phoff);
    if(ExtendedCount)
        File.WriteAt(&Section, sizeof Section, Header.e_shoff);
    File.WriteAt(Notes.data(), Notes.size(), Programs[0].p_offset);
    std::uint64_t Written = 0;
    for(std::size_t Index = 0; Index < Segments.size(); ++Index)
        if(Segments[Index].Dumped)
            Written += WriteMemory(File, Programs[Index + 1].p_offset, Segments[Index]);
    // The holes at the end count too.
    CHECK_ERRNO(ftruncate(File.Get(), static_cast<off_t>(Offset)));
    File.Close();
    return Written;
}
} // namespace Application
