# SPDX-License-Identifier: GPL-2.0-or-later
# Writes a C++ source that holds a file's bytes, for resources built into the
# program: cmake -DINPUT=file -DOUTPUT=source.cpp -DNAME=Function -P EmbedResource.cmake
# The source defines std::string_view Application::Resources::NAME().
file(READ ${INPUT} Hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," Bytes "${Hex}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}.\n#include <string_view>\n\nnamespace Application::Resources\n{\nnamespace\n{\nconstexpr char Data[] = {${Bytes} '\\0'};\n}\n\nstd::string_view ${NAME}()\n{\n    return {Data, sizeof Data - 1};\n}\n} // namespace Application::Resources\n")
