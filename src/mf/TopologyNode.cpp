// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/TopologyNode.h"

#include "base/Check.h"

namespace MF
{
TopologyNode::TopologyNode(MF_TOPOLOGY_TYPE Type) : m_Type(Type)
{
}

void TopologyNode::ConnectOutput(std::uint32_t OutputIndex, std::shared_ptr<TopologyNode> const& Downstream, std::uint32_t InputIndex)
{
    CHECK_ARGUMENT(Downstream && Downstream.get() != this);
    // Indexes are small in any real topology; this bounds what a mistake allocates.
    constexpr std::uint32_t MaximalConnectionIndex = 64;
    CHECK_ARGUMENT(OutputIndex < MaximalConnectionIndex && InputIndex < MaximalConnectionIndex);
    if(m_Outputs.size() <= OutputIndex)
        m_Outputs.resize(OutputIndex + 1);
    m_Outputs[OutputIndex] = Connection{Downstream, InputIndex};
}

std::shared_ptr<TopologyNode> TopologyNode::GetOutput(std::uint32_t OutputIndex, std::uint32_t* InputIndex) const
{
    if(OutputIndex >= m_Outputs.size())
        return nullptr;
    if(InputIndex)
        *InputIndex = m_Outputs[OutputIndex].Index;
    return m_Outputs[OutputIndex].Node;
}
} // namespace MF
