// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "mf/Attributes.h"
#include "mf/TopologyNode.h"

namespace MF
{
// The nodes a media session runs. The session runs one chain:
//
//   auto Topology = std::make_shared<MF::Topology>();
//   auto SourceNode = MF::TopologyNode::Create(MF::MF_TOPOLOGY_SOURCESTREAM_NODE);
//   SourceNode->SetObject(MF::MF_TOPONODE_SOURCE, Source);
//   SourceNode->SetObject(MF::MF_TOPONODE_PRESENTATION_DESCRIPTOR, PresentationDescriptor);
//   SourceNode->SetObject(MF::MF_TOPONODE_STREAM_DESCRIPTOR, StreamDescriptor);
//   auto EncoderNode = MF::TopologyNode::Create(MF::MF_TOPOLOGY_TRANSFORM_NODE);
//   EncoderNode->SetObject(Encoder);                       // an ITransform
//   auto OutputNode = MF::TopologyNode::Create(MF::MF_TOPOLOGY_OUTPUT_NODE);
//   OutputNode->SetObject(StreamSink);                     // an IStreamSink
//   Topology->AddNode(SourceNode); Topology->AddNode(EncoderNode); Topology->AddNode(OutputNode);
//   SourceNode->ConnectOutput(0, EncoderNode, 0);
//   EncoderNode->ConnectOutput(0, OutputNode, 0);
class Topology : public Attributes
{
public:
    static std::shared_ptr<Topology> Create() { return std::make_shared<Topology>(); }

    // E_INVALIDARG for a node already added.
    void AddNode(std::shared_ptr<TopologyNode> Node);
    std::size_t GetNodeCount() const noexcept { return m_Nodes.size(); }
    std::shared_ptr<TopologyNode> GetNode(std::size_t Index) const;
    std::vector<std::shared_ptr<TopologyNode>> GetSourceNodeCollection() const;
    std::vector<std::shared_ptr<TopologyNode>> GetOutputNodeCollection() const;
    void Clear() noexcept { m_Nodes.clear(); }

private:
    std::vector<std::shared_ptr<TopologyNode>> m_Nodes;
};
} // namespace MF
