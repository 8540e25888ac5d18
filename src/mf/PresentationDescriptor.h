// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "mf/Attributes.h"
#include "mf/StreamDescriptor.h"

namespace MF
{
// What a source presents: its stream descriptors, each selected or not,
// and attributes such as MF_PD_DURATION. Sources hand out clones, so that a
// caller's selection and attributes do not change the source's own copy;
// clones share the stream descriptors.
class PresentationDescriptor : public Attributes
{
public:
    explicit PresentationDescriptor(std::vector<std::shared_ptr<StreamDescriptor>> Streams);

    std::size_t GetStreamDescriptorCount() const noexcept { return m_Streams.size(); }
    // E_INVALIDARG past the end.
    std::shared_ptr<StreamDescriptor> GetStreamDescriptorByIndex(std::size_t Index, bool* Selected = nullptr) const;
    void SelectStream(std::size_t Index);
    std::shared_ptr<PresentationDescriptor> Clone() const { return std::make_shared<PresentationDescriptor>(*this); }

private:
    struct Entry
    {
        std::shared_ptr<StreamDescriptor> Stream;
        bool Selected;
    };

    Entry const& GetEntry(std::size_t Index) const;

    std::vector<Entry> m_Streams;
};
} // namespace MF
