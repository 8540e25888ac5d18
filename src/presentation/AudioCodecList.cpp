// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AudioCodecList.h"

#include <algorithm>
#include <string>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
constexpr AudioSubtype Offered[]{AudioSubtype::Aac, AudioSubtype::Opus, AudioSubtype::Ac3, AudioSubtype::Ec3};

[[noreturn]] void Refuse(std::string_view Text, std::string const& Reason)
{
    ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "AudioCodecList::Parse",
                      StringFormat("Invalid \"audio\" \"%.*s\": %s", static_cast<int>(Text.size()), Text.data(), Reason.c_str()));
}
} // namespace

std::optional<AudioSubtype> AudioCodecList::Named(std::string_view Name) noexcept
{
    for(auto const Subtype : Offered)
        if(AudioCodecName(Subtype) == Name)
            return Subtype;
    return std::nullopt;
}

std::vector<AudioSubtype> AudioCodecList::Parse(std::string_view Text)
{
    std::vector<AudioSubtype> Codecs;
    std::string_view Rest = Text;
    for(;;)
    {
        auto const Comma = Rest.find(',');
        auto const Name = Rest.substr(0, Comma);
        auto const Subtype = Named(Name);
        auto const Quoted = StringFormat("\"%.*s\"", static_cast<int>(Name.size()), Name.data());
        if(!Subtype)
            Refuse(Text, Quoted + " is none of aac, opus, ac3, ec3");
        if(std::find(Codecs.begin(), Codecs.end(), *Subtype) != Codecs.end())
            Refuse(Text, Quoted + " is given twice");
        if(Codecs.size() == MaximalCodecs)
            Refuse(Text, StringFormat("at most %zu codecs", MaximalCodecs));
        Codecs.push_back(*Subtype);
        if(Comma == std::string_view::npos)
            return Codecs;
        Rest.remove_prefix(Comma + 1);
    }
}
} // namespace Application
