// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mf/Attributes.h"

namespace MF
{
enum MF_TOPOLOGY_TYPE : std::uint32_t
{
    MF_TOPOLOGY_OUTPUT_NODE = 0,       // object: the IStreamSink
    MF_TOPOLOGY_SOURCESTREAM_NODE = 1, // attributes MF_TOPONODE_SOURCE, _PRESENTATION_DESCRIPTOR, _STREAM_DESCRIPTOR
    MF_TOPOLOGY_TRANSFORM_NODE = 2,    // object: the ITransform
};

// A node of a topology: its type, its object and its downstream
// connections, which it owns. The session walks a chain downstream only.
class TopologyNode : public Attributes
{
public:
    explicit TopologyNode(MF_TOPOLOGY_TYPE Type);
    static std::shared_ptr<TopologyNode> Create(MF_TOPOLOGY_TYPE Type) { return std::make_shared<TopologyNode>(Type); }

    using Attributes::GetObject;
    using Attributes::SetObject;

    MF_TOPOLOGY_TYPE GetNodeType() const noexcept { return m_Type; }
    void SetObject(std::shared_ptr<Object> Value) { m_Object = std::move(Value); }
    std::shared_ptr<Object> const& GetObject() const noexcept { return m_Object; }

    // Connects output OutputIndex of this node to input InputIndex of Downstream.
    void ConnectOutput(std::uint32_t OutputIndex, std::shared_ptr<TopologyNode> const& Downstream, std::uint32_t InputIndex);
    // The node connected to an output, or nullptr.
    std::shared_ptr<TopologyNode> GetOutput(std::uint32_t OutputIndex, std::uint32_t* InputIndex = nullptr) const;

private:
    struct Connection
    {
        std::shared_ptr<TopologyNode> Node;
        std::uint32_t Index = 0;
    };

    MF_TOPOLOGY_TYPE const m_Type;
    std::shared_ptr<Object> m_Object;
    std::vector<Connection> m_Outputs;
};
} // namespace MF
