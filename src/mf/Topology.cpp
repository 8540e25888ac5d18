// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Topology.h"

#include <algorithm>

#include "base/Check.h"

namespace MF
{
void Topology::AddNode(std::shared_ptr<TopologyNode> Node)
{
    CHECK_ARGUMENT(Node && std::find(m_Nodes.begin(), m_Nodes.end(), Node) == m_Nodes.end());
    m_Nodes.push_back(std::move(Node));
}

std::shared_ptr<TopologyNode> Topology::GetNode(std::size_t Index) const
{
    CHECK_ARGUMENT(Index < m_Nodes.size());
    return m_Nodes[Index];
}

std::vector<std::shared_ptr<TopologyNode>> Topology::GetSourceNodeCollection() const
{
    std::vector<std::shared_ptr<TopologyNode>> Nodes;
    std::copy_if(m_Nodes.begin(), m_Nodes.end(), std::back_inserter(Nodes),
                 [](auto const& Node) { return Node->GetNodeType() == MF_TOPOLOGY_SOURCESTREAM_NODE; });
    return Nodes;
}

std::vector<std::shared_ptr<TopologyNode>> Topology::GetOutputNodeCollection() const
{
    std::vector<std::shared_ptr<TopologyNode>> Nodes;
    std::copy_if(m_Nodes.begin(), m_Nodes.end(), std::back_inserter(Nodes),
                 [](auto const& Node) { return Node->GetNodeType() == MF_TOPOLOGY_OUTPUT_NODE; });
    return Nodes;
}
} // namespace MF
