// SPDX-License-Identifier: GPL-2.0-or-later
// Runs a fuzz target once over its corpus, as libFuzzer does with -runs=0,
// so that every compiler can run the corpora as regression tests:
//
//   quorvel_fuzz_query_string fuzz/corpus/query_string [more files or folders]
#include "FuzzCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{
std::vector<std::filesystem::path> Inputs(char const* Argument)
{
    std::filesystem::path const Path(Argument);
    if(!std::filesystem::is_directory(Path))
        return {Path};
    std::vector<std::filesystem::path> Files;
    for(auto const& Entry : std::filesystem::directory_iterator(Path))
        if(Entry.is_regular_file())
            Files.push_back(Entry.path());
    std::sort(Files.begin(), Files.end());
    return Files;
}
} // namespace

int main(int Count, char** Arguments)
{
    std::size_t Runs = 0;
    for(int Index = 1; Index < Count; ++Index)
        for(auto const& File : Inputs(Arguments[Index]))
        {
            std::ifstream Stream(File, std::ios::binary);
            std::vector<std::uint8_t> const Data{std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>()};
            if(!Stream.good() && !Stream.eof())
            {
                std::fprintf(stderr, "Cannot read %s\n", File.c_str());
                return 1;
            }
            LLVMFuzzerTestOneInput(Data.data(), Data.size());
            ++Runs;
        }
    std::fprintf(stderr, "%zu inputs ran\n", Runs);
    // An empty corpus tests nothing: a wrong path, not a pass.
    return Runs > 0 ? 0 : 1;
}
