// SPDX-License-Identifier: GPL-2.0-or-later
// Counts heap allocations and memcpy/memmove calls of one process, for
// bench/copy_bench.py. Loaded with LD_PRELOAD; the counters live in the file
// named by ALLOC_COUNTER_FILE, mapped shared, so that another process reads
// them at any moment without signals or a pipe. Without the variable the
// library only passes calls on.
//
// Every counted call is charged to one loaded object: the object holding the
// caller, or, when the caller is in the C or C++ run-time (operator new
// calling malloc, std::string calling memcpy, fopen calling malloc), the
// first object up the stack outside it. Slot 0 is the main executable, so
// its figures are "what our own code asked for".
//
// Only calls through the dynamic symbol table are seen: a copy the compiler
// inlines (a small constant size, a loop it vectorised) or one inside libc
// (fwrite into its buffer) is not counted, and neither are the kernel's
// copies behind read, write and send.
//
// A process that is forked from the one that claimed the file, or another
// program started with the same environment, counts nothing: the first
// process to map the file owns it.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>
#include <unwind.h>

#define EXPORT __attribute__((visibility("default")))

enum
{
    CounterMagic = 0x31544e43564f5551ull, // "QUOVCNT1"
    MaximalObjects = 256,
    ObjectNameBytes = 64,
    MaximalRanges = 1024,
    MaximalFrames = 48,
    MaximalSites = 4096,
    SiteProbes = 64,
};

// Figures of one object (or of everything). Read by copy_bench.py: keep the
// layout in step with its CounterLayout.
typedef struct
{
    _Atomic uint64_t CopyCalls;
    _Atomic uint64_t CopyBytes;
    _Atomic uint64_t AllocationCalls;
    _Atomic uint64_t AllocationBytes;
    _Atomic uint64_t FreeCalls;
    uint64_t Reserved[3];
} Figures;

typedef struct
{
    char Name[ObjectNameBytes];
    Figures Counts;
} ObjectSlot;

// One place in the main executable that copies or allocates, by the
// offset of its return address from the executable's load address (the
// address nm shows): the call itself, or the executable's last frame
// before the run-time that made it.
typedef struct
{
    _Atomic uint64_t Offset;
    _Atomic uint64_t CopyCalls;
    _Atomic uint64_t CopyBytes;
    _Atomic uint64_t AllocationCalls;
    _Atomic uint64_t AllocationBytes;
    uint64_t Reserved[3];
} Site;

typedef struct
{
    uint64_t Magic;
    _Atomic int32_t Owner;
    _Atomic uint32_t ObjectCount;
    // Calls charged to no known object (code mapped outside any loaded object).
    Figures Unknown;
    Figures Total;
    ObjectSlot Objects[MaximalObjects];
    // Calls of the executable whose place found no room in Sites.
    _Atomic uint64_t LostSites;
    uint64_t Reserved[7];
    Site Sites[MaximalSites];
} CounterFile;

typedef struct
{
    uintptr_t Start;
    uintptr_t End;
    uint32_t Slot;
    uint32_t Runtime;
} CodeRange;

typedef struct
{
    uint32_t Count;
    uint64_t LoadedObjects;
    CodeRange Ranges[];
} RangeTable;

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void __libc_free(void*);
extern void* __libc_memalign(size_t, size_t);
extern void* __libc_valloc(size_t);
extern void* __libc_pvalloc(size_t);

typedef void* CopyFunction(void*, void const*, size_t);
typedef void* CheckedCopyFunction(void*, void const*, size_t, size_t);

static CounterFile* File;
static _Atomic int Active;
static _Atomic(RangeTable*) Table;
static _Atomic int Rebuilding;
static uintptr_t MainBase;
static CopyFunction* _Atomic RealMemcpy;
static CopyFunction* _Atomic RealMemmove;
static CopyFunction* _Atomic RealMempcpy;
static CheckedCopyFunction* _Atomic RealMemcpyCheck;
static CheckedCopyFunction* _Atomic RealMemmoveCheck;
static CheckedCopyFunction* _Atomic RealMempcpyCheck;
// Set while this library works on a thread: calls it causes itself (the
// unwinder's own copies, dlsym's allocations) pass uncounted.
static __thread int InCounter __attribute__((tls_model("initial-exec")));

// Byte copies for the moment before the real functions are known. Kept out
// of the optimiser's reach so that they do not turn into memcpy calls.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) static void* PlainCopy(void* Destination, void const* Source, size_t Size)
{
    unsigned char volatile* To = Destination;
    unsigned char const* From = Source;
    if(To < From)
        for(size_t Index = 0; Index < Size; ++Index)
            To[Index] = From[Index];
    else
        for(size_t Index = Size; Index-- > 0;)
            To[Index] = From[Index];
    return Destination;
}

static int Contains(char const* Text, char const* Part)
{
    for(; *Text; ++Text)
    {
        size_t Index = 0;
        while(Part[Index] && Text[Index] == Part[Index])
            ++Index;
        if(!Part[Index])
            return 1;
    }
    return 0;
}

static char const* BaseName(char const* Path)
{
    char const* Name = Path;
    for(; *Path; ++Path)
        if(*Path == '/')
            Name = Path + 1;
    return Name;
}

// The C and C++ run-time, through which a call is followed to its caller.
static int IsRuntime(char const* Name)
{
    static char const* const Runtime[] = {"/libc.so", "/libstdc++.so", "/libgcc_s.so", "/libm.so", "/ld-linux", "/libpthread.so", "/libdl.so"};
    for(size_t Index = 0; Index < sizeof Runtime / sizeof *Runtime; ++Index)
        if(Contains(Name, Runtime[Index]))
            return 1;
    return 0;
}

// Names are kept cut to ObjectNameBytes - 1 characters.
static int SameName(char const* Known, char const* Name)
{
    for(size_t Index = 0; Index + 1 < ObjectNameBytes; ++Index)
    {
        if(Known[Index] != Name[Index])
            return 0;
        if(!Name[Index])
            return 1;
    }
    return 1;
}

// The slot of an object by its name, so that a rebuilt table keeps them.
static uint32_t SlotOf(char const* Name)
{
    uint32_t const Count = atomic_load(&File->ObjectCount);
    for(uint32_t Slot = 0; Slot < Count; ++Slot)
        if(SameName(File->Objects[Slot].Name, Name))
            return Slot;
    if(Count >= MaximalObjects)
        return UINT32_MAX;
    char* Target = File->Objects[Count].Name;
    size_t Index = 0;
    for(; Index + 1 < ObjectNameBytes && Name[Index]; ++Index)
        Target[Index] = Name[Index];
    Target[Index] = 0;
    atomic_store(&File->ObjectCount, Count + 1);
    return Count;
}

typedef struct
{
    RangeTable* Table;
    uintptr_t Self;
    char ExecutableName[ObjectNameBytes];
} BuildState;

static int AddObject(struct dl_phdr_info* Info, size_t Size, void* Data)
{
    (void)Size;
    BuildState* State = Data;
    RangeTable* Ranges = State->Table;
    int const IsMain = Ranges->Count == 0 && Info->dlpi_name[0] == 0;
    char const* Name = IsMain ? State->ExecutableName : BaseName(Info->dlpi_name);
    if(!*Name)
        return 0;
    if(IsMain)
        MainBase = Info->dlpi_addr;
    int Runtime = IsRuntime(Info->dlpi_name);
    uint32_t Slot = UINT32_MAX;
    for(ElfW(Half) Index = 0; Index < Info->dlpi_phnum; ++Index)
    {
        ElfW(Phdr) const* Header = &Info->dlpi_phdr[Index];
        if(Header->p_type != PT_LOAD || !(Header->p_flags & PF_X) || Ranges->Count >= MaximalRanges)
            continue;
        uintptr_t const Start = Info->dlpi_addr + Header->p_vaddr, End = Start + Header->p_memsz;
        // This library's own frames are passed through like the run-time's.
        if(State->Self >= Start && State->Self < End)
            Runtime = 1;
        if(Slot == UINT32_MAX)
            Slot = SlotOf(Name);
        Ranges->Ranges[Ranges->Count++] = (CodeRange){Start, End, Slot, (uint32_t)Runtime};
    }
    return 0;
}

static void SortRanges(RangeTable* Ranges)
{
    for(uint32_t Index = 1; Index < Ranges->Count; ++Index)
    {
        CodeRange const Moving = Ranges->Ranges[Index];
        uint32_t At = Index;
        for(; At > 0 && Ranges->Ranges[At - 1].Start > Moving.Start; --At)
            Ranges->Ranges[At] = Ranges->Ranges[At - 1];
        Ranges->Ranges[At] = Moving;
    }
}

static int CountObjects(struct dl_phdr_info* Info, size_t Size, void* Data)
{
    (void)Size;
    *(uint64_t*)Data = Info->dlpi_adds - Info->dlpi_subs;
    return 1;
}

// The executable code of every loaded object, sorted by address. Rebuilt
// when an address falls outside it and objects were loaded since; tables are
// never unmapped, as another thread may still search an older one.
static void BuildTable(void)
{
    int Expected = 0;
    if(!atomic_compare_exchange_strong(&Rebuilding, &Expected, 1))
        return;
    uint64_t Loaded = 0;
    dl_iterate_phdr(CountObjects, &Loaded);
    RangeTable* Old = atomic_load(&Table);
    if(!Old || Old->LoadedObjects != Loaded)
    {
        size_t const Bytes = sizeof(RangeTable) + MaximalRanges * sizeof(CodeRange);
        void* Memory = mmap(NULL, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if(Memory != MAP_FAILED)
        {
            BuildState State = {Memory, (uintptr_t)&BuildTable, {0}};
            char Path[512];
            ssize_t const Length = readlink("/proc/self/exe", Path, sizeof Path - 1);
            Path[Length > 0 ? Length : 0] = 0;
            char const* Name = Length > 0 ? BaseName(Path) : "main";
            for(size_t Index = 0; Index + 1 < ObjectNameBytes && Name[Index]; ++Index)
                State.ExecutableName[Index] = Name[Index];
            State.Table->LoadedObjects = Loaded;
            dl_iterate_phdr(AddObject, &State);
            SortRanges(State.Table);
            atomic_store(&Table, State.Table);
        }
    }
    atomic_store(&Rebuilding, 0);
}

static CodeRange const* RangeOf(uintptr_t Address)
{
    RangeTable const* Ranges = atomic_load(&Table);
    if(!Ranges)
        return NULL;
    uint32_t Low = 0, High = Ranges->Count;
    while(Low < High)
    {
        uint32_t const Middle = (Low + High) / 2;
        if(Ranges->Ranges[Middle].End <= Address)
            Low = Middle + 1;
        else
            High = Middle;
    }
    return Low < Ranges->Count && Ranges->Ranges[Low].Start <= Address ? &Ranges->Ranges[Low] : NULL;
}

static CodeRange const* FindRange(uintptr_t Address)
{
    CodeRange const* Range = RangeOf(Address);
    if(!Range)
    {
        BuildTable();
        Range = RangeOf(Address);
    }
    return Range;
}

typedef struct
{
    uint32_t Slot;
    int Frames;
    uintptr_t Address;
} Walk;

static _Unwind_Reason_Code VisitFrame(struct _Unwind_Context* Context, void* Data)
{
    Walk* State = Data;
    uintptr_t const Address = _Unwind_GetIP(Context);
    if(!Address || ++State->Frames > MaximalFrames)
        return _URC_END_OF_STACK;
    CodeRange const* Range = FindRange(Address - 1);
    if(Range && !Range->Runtime)
    {
        State->Slot = Range->Slot;
        State->Address = Address;
        return _URC_END_OF_STACK;
    }
    return _URC_NO_REASON;
}

// The slot a call is charged to, from the range holding its caller;
// UINT32_MAX: unknown. A call from the run-time that no other object asked
// for (a thread's start, a static constructor of libstdc++) stays with the
// run-time library. *Address becomes the return address into that slot's
// code.
static uint32_t Attribute(CodeRange const* Caller, uintptr_t* Address)
{
    if(Caller && !Caller->Runtime)
        return Caller->Slot;
    Walk State = {UINT32_MAX, 0, 0};
    _Unwind_Backtrace(VisitFrame, &State);
    if(State.Slot == UINT32_MAX)
        return Caller ? Caller->Slot : UINT32_MAX;
    *Address = State.Address;
    return State.Slot;
}

static Site* SiteOf(uintptr_t Address)
{
    uint64_t const Offset = Address - MainBase;
    uint64_t Index = (Offset * 0x9E3779B97F4A7C15ull) >> 52;
    for(int Probe = 0; Probe < SiteProbes; ++Probe, Index = (Index + 1) % MaximalSites)
    {
        Site* Place = &File->Sites[Index];
        uint64_t Known = atomic_load_explicit(&Place->Offset, memory_order_acquire);
        if(Known == 0 && atomic_compare_exchange_strong(&Place->Offset, &Known, Offset))
            return Place;
        if(Known == Offset)
            return Place;
    }
    atomic_fetch_add_explicit(&File->LostSites, 1, memory_order_relaxed);
    return NULL;
}

static Figures* FiguresOf(uint32_t Slot)
{
    return Slot < atomic_load(&File->ObjectCount) ? &File->Objects[Slot].Counts : &File->Unknown;
}

static void Count(void* ReturnAddress, size_t Size, int IsCopy)
{
    if(!atomic_load_explicit(&Active, memory_order_relaxed) || InCounter)
        return;
    InCounter = 1;
    uintptr_t Address = (uintptr_t)ReturnAddress;
    uint32_t const Slot = Attribute(FindRange(Address - 1), &Address);
    Figures* Counts = FiguresOf(Slot);
    Site* Place = Slot == 0 ? SiteOf(Address) : NULL;
    if(IsCopy)
    {
        atomic_fetch_add_explicit(&Counts->CopyCalls, 1, memory_order_relaxed);
        atomic_fetch_add_explicit(&Counts->CopyBytes, Size, memory_order_relaxed);
        atomic_fetch_add_explicit(&File->Total.CopyCalls, 1, memory_order_relaxed);
        atomic_fetch_add_explicit(&File->Total.CopyBytes, Size, memory_order_relaxed);
        if(Place)
        {
            atomic_fetch_add_explicit(&Place->CopyCalls, 1, memory_order_relaxed);
            atomic_fetch_add_explicit(&Place->CopyBytes, Size, memory_order_relaxed);
        }
    }
    else
    {
        atomic_fetch_add_explicit(&Counts->AllocationCalls, 1, memory_order_relaxed);
        atomic_fetch_add_explicit(&Counts->AllocationBytes, Size, memory_order_relaxed);
        atomic_fetch_add_explicit(&File->Total.AllocationCalls, 1, memory_order_relaxed);
        atomic_fetch_add_explicit(&File->Total.AllocationBytes, Size, memory_order_relaxed);
        if(Place)
        {
            atomic_fetch_add_explicit(&Place->AllocationCalls, 1, memory_order_relaxed);
            atomic_fetch_add_explicit(&Place->AllocationBytes, Size, memory_order_relaxed);
        }
    }
    InCounter = 0;
}

static void CountCopy(void* ReturnAddress, size_t Size)
{
    Count(ReturnAddress, Size, 1);
}

static void CountAllocation(void* ReturnAddress, size_t Size)
{
    Count(ReturnAddress, Size, 0);
}

static void CountFree(void* Pointer)
{
    // Frees are not attributed: their number only shows the balance.
    if(Pointer && atomic_load_explicit(&Active, memory_order_relaxed) && !InCounter)
        atomic_fetch_add_explicit(&File->Total.FreeCalls, 1, memory_order_relaxed);
}

static void* Resolve(char const* Name)
{
    InCounter = 1;
    void* Function = dlsym(RTLD_NEXT, Name);
    InCounter = 0;
    return Function;
}

// dlsym may copy on its own: while a name is being resolved on this thread
// the plain copy stands in.
static CopyFunction* CopyOf(CopyFunction* _Atomic* Slot, char const* Name)
{
    CopyFunction* Function = atomic_load_explicit(Slot, memory_order_acquire);
    if(Function)
        return Function;
    if(InCounter)
        return PlainCopy;
    Function = (CopyFunction*)Resolve(Name);
    if(!Function)
        abort();
    atomic_store_explicit(Slot, Function, memory_order_release);
    return Function;
}

static CheckedCopyFunction* CheckedCopyOf(CheckedCopyFunction* _Atomic* Slot, char const* Name)
{
    CheckedCopyFunction* Function = atomic_load_explicit(Slot, memory_order_acquire);
    if(!Function)
    {
        Function = (CheckedCopyFunction*)Resolve(Name);
        if(!Function)
            abort();
        atomic_store_explicit(Slot, Function, memory_order_release);
    }
    return Function;
}

EXPORT void* memcpy(void* restrict Destination, void const* restrict Source, size_t Size)
{
    CountCopy(__builtin_return_address(0), Size);
    return CopyOf(&RealMemcpy, "memcpy")(Destination, Source, Size);
}

EXPORT void* memmove(void* Destination, void const* Source, size_t Size)
{
    CountCopy(__builtin_return_address(0), Size);
    return CopyOf(&RealMemmove, "memmove")(Destination, Source, Size);
}

EXPORT void* mempcpy(void* restrict Destination, void const* restrict Source, size_t Size)
{
    CountCopy(__builtin_return_address(0), Size);
    return CopyOf(&RealMempcpy, "mempcpy")(Destination, Source, Size);
}

// The fortified forms, which libraries built with _FORTIFY_SOURCE call.
EXPORT void* __memcpy_chk(void* restrict Destination, void const* restrict Source, size_t Size, size_t Room)
{
    CountCopy(__builtin_return_address(0), Size);
    return CheckedCopyOf(&RealMemcpyCheck, "__memcpy_chk")(Destination, Source, Size, Room);
}

EXPORT void* __memmove_chk(void* Destination, void const* Source, size_t Size, size_t Room)
{
    CountCopy(__builtin_return_address(0), Size);
    return CheckedCopyOf(&RealMemmoveCheck, "__memmove_chk")(Destination, Source, Size, Room);
}

EXPORT void* __mempcpy_chk(void* restrict Destination, void const* restrict Source, size_t Size, size_t Room)
{
    CountCopy(__builtin_return_address(0), Size);
    return CheckedCopyOf(&RealMempcpyCheck, "__mempcpy_chk")(Destination, Source, Size, Room);
}

EXPORT void* malloc(size_t Size)
{
    void* Pointer = __libc_malloc(Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    return Pointer;
}

EXPORT void* calloc(size_t Count, size_t Size)
{
    void* Pointer = __libc_calloc(Count, Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Count * Size);
    return Pointer;
}

// A realloc is counted as one allocation of the new size, moved or not.
EXPORT void* realloc(void* Old, size_t Size)
{
    void* Pointer = __libc_realloc(Old, Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    else if(Size == 0)
        CountFree(Old);
    return Pointer;
}

EXPORT void* reallocarray(void* Old, size_t Count, size_t Size)
{
    size_t Bytes = 0;
    if(__builtin_mul_overflow(Count, Size, &Bytes))
    {
        errno = ENOMEM;
        return NULL;
    }
    void* Pointer = __libc_realloc(Old, Bytes);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Bytes);
    return Pointer;
}

EXPORT void free(void* Pointer)
{
    CountFree(Pointer);
    __libc_free(Pointer);
}

EXPORT void* memalign(size_t Alignment, size_t Size)
{
    void* Pointer = __libc_memalign(Alignment, Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    return Pointer;
}

EXPORT void* aligned_alloc(size_t Alignment, size_t Size)
{
    if(Alignment == 0 || (Alignment & (Alignment - 1)) != 0)
    {
        errno = EINVAL;
        return NULL;
    }
    void* Pointer = __libc_memalign(Alignment, Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    return Pointer;
}

EXPORT int posix_memalign(void** Result, size_t Alignment, size_t Size)
{
    if(Alignment % sizeof(void*) != 0 || (Alignment & (Alignment - 1)) != 0 || Alignment == 0)
        return EINVAL;
    void* Pointer = __libc_memalign(Alignment, Size);
    if(!Pointer)
        return ENOMEM;
    CountAllocation(__builtin_return_address(0), Size);
    *Result = Pointer;
    return 0;
}

EXPORT void* valloc(size_t Size)
{
    void* Pointer = __libc_valloc(Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    return Pointer;
}

EXPORT void* pvalloc(size_t Size)
{
    void* Pointer = __libc_pvalloc(Size);
    if(Pointer)
        CountAllocation(__builtin_return_address(0), Size);
    return Pointer;
}

static void StopInChild(void)
{
    atomic_store(&Active, 0);
}

extern __typeof(memcpy) CounterMemcpy __attribute__((alias("memcpy"), copy(memcpy), visibility("hidden")));
extern __typeof(malloc) CounterMalloc __attribute__((alias("malloc"), copy(malloc), visibility("hidden")));

// Whether the symbol memcpy names this library's function: it does not when
// the library was not loaded ahead of the C library.
static int CopiesArrive(void)
{
    return dlsym(RTLD_DEFAULT, "memcpy") == (void*)&CounterMemcpy && dlsym(RTLD_DEFAULT, "malloc") == (void*)&CounterMalloc;
}

__attribute__((constructor)) static void Start(void)
{
    char const* Path = getenv("ALLOC_COUNTER_FILE");
    if(!Path || !*Path)
        return;
    int const Descriptor = open(Path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if(Descriptor < 0)
        return;
    void* Memory = MAP_FAILED;
    if(ftruncate(Descriptor, sizeof(CounterFile)) == 0)
        Memory = mmap(NULL, sizeof(CounterFile), PROT_READ | PROT_WRITE, MAP_SHARED, Descriptor, 0);
    close(Descriptor);
    if(Memory == MAP_FAILED)
        return;
    CounterFile* Counters = Memory;
    int32_t Unowned = 0;
    if(!atomic_compare_exchange_strong(&Counters->Owner, &Unowned, (int32_t)getpid()))
    {
        munmap(Memory, sizeof(CounterFile));
        return;
    }
    File = Counters;
    BuildTable();
    if(!CopiesArrive())
        return;
    pthread_atfork(NULL, NULL, StopInChild);
    // The reader waits for the magic number: from here on the figures count.
    File->Magic = CounterMagic;
    atomic_store(&Active, 1);
}
