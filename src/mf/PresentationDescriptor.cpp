// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/PresentationDescriptor.h"

#include "base/Check.h"

namespace MF
{
PresentationDescriptor::PresentationDescriptor(std::vector<std::shared_ptr<StreamDescriptor>> Streams)
{
    for(auto& Stream : Streams)
    {
        CHECK_ARGUMENT(Stream);
        m_Streams.push_back(Entry{std::move(Stream), false});
    }
}

PresentationDescriptor::Entry const& PresentationDescriptor::GetEntry(std::size_t Index) const
{
    CHECK_ARGUMENT(Index < m_Streams.size());
    return m_Streams[Index];
}

std::shared_ptr<StreamDescriptor> PresentationDescriptor::GetStreamDescriptorByIndex(std::size_t Index, bool* Selected) const
{
    auto const& Value = GetEntry(Index);
    if(Selected)
        *Selected = Value.Selected;
    return Value.Stream;
}

void PresentationDescriptor::SelectStream(std::size_t Index)
{
    GetEntry(Index);
    m_Streams[Index].Selected = true;
}
} // namespace MF
