// SPDX-License-Identifier: GPL-2.0-or-later
// Build tool: writes the service's unit for an installed program, as
// "-Service:Install" would write it, for the package to ship (disabled).

#include <cstdio>
#include <fstream>

#include "host/SystemdUnit.h"

int main(int ArgumentCount, char* ArgumentValues[])
{
    if(ArgumentCount != 3)
    {
        std::fprintf(stderr, "Syntax: quorvel_unit_file <installed program path> <unit file>\n");
        return 2;
    }
    std::string const Program = ArgumentValues[1];
    std::ofstream Stream(ArgumentValues[2], std::ios::binary | std::ios::trunc);
    Stream << Application::SystemdUnit::MakeText(Application::SystemdUnit::MakeCommandLine(Program, {Program}, false));
    Stream.close();
    return Stream ? 0 : 1;
}
