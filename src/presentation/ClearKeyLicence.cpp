// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ClearKeyLicence.h"

#include "presentation/ContentKeys.h"

#include <algorithm>
#include <sstream>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/Base64.h"

namespace Application
{
namespace
{
[[noreturn]] void Refuse(std::string const& Message)
{
    throw HResultError(E_INVALIDARG, "Clear Key licence request: " + Message);
}

// The deepest nesting of arrays and objects outside strings.
unsigned NestingDepth(std::string_view Text)
{
    unsigned Depth = 0, Deepest = 0;
    bool InString = false, Escaped = false;
    for(char Character : Text)
    {
        if(InString)
        {
            if(Escaped)
                Escaped = false;
            else if(Character == '\\')
                Escaped = true;
            else if(Character == '"')
                InString = false;
        }
        else if(Character == '"')
            InString = true;
        else if(Character == '[' || Character == '{')
            Deepest = std::max(Deepest, ++Depth);
        else if((Character == ']' || Character == '}') && Depth > 0)
            --Depth;
    }
    return Deepest;
}

boost::property_tree::ptree ParseJson(std::string_view Request)
{
    if(NestingDepth(Request) > ClearKeyLicence::MaximalNesting)
        Refuse("the JSON nests too deep");
    std::istringstream Stream{std::string(Request)};
    boost::property_tree::ptree Tree;
    try
    {
        boost::property_tree::read_json(Stream, Tree);
    }
    catch(boost::property_tree::json_parser_error const& Error)
    {
        Refuse(StringFormat("not JSON (%s, line %lu)", Error.message().c_str(), Error.line()));
    }
    return Tree;
}

// The key IDs of the request's "kids" array, each 16 bytes.
std::vector<std::vector<std::uint8_t>> RequestedKeyIds(boost::property_tree::ptree const& Tree)
{
    // The property tree keeps arrays as children without names and strings
    // as data without children.
    auto const Kids = Tree.get_child_optional("kids");
    if(!Kids || Kids->empty())
        Refuse("no \"kids\" array with key IDs");
    if(Kids->size() > ClearKeyLicence::MaximalKeyIds)
        Refuse(StringFormat("more than %zu key IDs", ClearKeyLicence::MaximalKeyIds));
    std::vector<std::vector<std::uint8_t>> KeyIds;
    for(auto const& [Name, Kid] : *Kids)
    {
        if(!Name.empty() || !Kid.empty())
            Refuse("\"kids\" is not an array of strings");
        auto KeyId = DecodeBase64Url(Kid.data());
        if(!KeyId || KeyId->size() != 16)
            Refuse("the key ID \"" + Kid.data().substr(0, 64) + "\" is not 16 bytes in base64url");
        KeyIds.push_back(std::move(*KeyId));
    }
    return KeyIds;
}
} // namespace

std::string ClearKeyLicence::Answer(Configuration const& Asset, std::string_view Request)
{
    CHECK_CONDITION(!Asset.Key.empty(), FailureCode::AssetWithoutKey);
    auto const Tree = ParseJson(Request);
    // Every key asked for, each once, in the order asked; the first key
    // where the request names none.
    std::vector<ContentKey> Keys;
    for(auto const& KeyId : RequestedKeyIds(Tree))
    {
        auto Found = ContentKeys::Find(Asset, KeyId);
        if(!Found)
            Refuse("the asset has no key with the ID " + EncodeBase64Url(KeyId));
        if(std::none_of(Keys.begin(), Keys.end(), [&](ContentKey const& Key) { return Key.Id == Found->Id; }))
            Keys.push_back(std::move(*Found));
    }
    if(Keys.empty())
        Keys.push_back(ContentKeys::Of(Asset, KeyTrack::Video, 0));
    std::vector<std::string> Items;
    for(auto const& Key : Keys)
        Items.push_back(StringFormat("{\"kty\":\"oct\",\"kid\":\"%s\",\"k\":\"%s\"}", EncodeBase64Url(Key.Id).c_str(), EncodeBase64Url(Key.Key).c_str()));
    return "{\"keys\":[" + Join(Items, ",") + "],\"type\":\"temporary\"}";
}
} // namespace Application
