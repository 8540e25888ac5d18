// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "presentation/QueryOption.h"

namespace Application
{
// One heading of the options, in the order people meet them.
struct OptionGroup
{
    std::string_view Id;
    std::string_view Title;
};

// Every query key the server reads from a request, one QueryOption each: the
// manifest options kept with an asset, the keys that name things after the
// manifest, the test pages' keys. The lookups of QueryNumbers and QueryReads
// find their row here, so a key read without a row is an error of the
// program (E_UNEXPECTED, naming the key), and the row's kind and range make
// the refusal of a bad value. options.json, the home page's form and the
// README's table of options are this table.
class OptionTable
{
public:
    static std::span<OptionGroup const> Groups();
    static std::span<QueryOption const> Options();

    // The row of Name (of that kind, when given): a key shared by two rows
    // ("part": a manifest's part length, a segment request's part number)
    // is told apart by its kind. Raises E_UNEXPECTED when there is no such
    // row, or more than one.
    static QueryOption const& Get(std::string_view Name, std::optional<OptionKind> Kind = std::nullopt);
    // The same among the rows a manifest keeps with its asset, or among the
    // "addressing" rows: a key of both with one kind ("lang": the asset's
    // audio languages, the track a request names) is told apart so.
    static QueryOption const& Kept(std::string_view Name, std::optional<OptionKind> Kind = std::nullopt);
    static QueryOption const& Addressing(std::string_view Name, std::optional<OptionKind> Kind = std::nullopt);

    // options.json: {"groups":[{"id","title"}...],"options":[{"name","alias",
    // "group","kind","minimum","maximum","default","choices","routes",
    // "help","example"}...]}.
    static std::string Json();
};
} // namespace Application
