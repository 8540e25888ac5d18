// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/SharedBytes.h"
#include "http/BodyPiece.h"

namespace Application
{
// The bytes of a piece of media as it was made, kept as the pieces the sink
// wrote: a segment's movie fragments, one each, or one piece for an
// initialisation segment or a file. Made once, shared by the cache and
// every answer, never copied again.
class MediaBody
{
public:
    explicit MediaBody(std::vector<SharedBytes> Fragments);

    std::vector<SharedBytes> const& GetFragments() const noexcept { return m_Fragments; }
    std::size_t GetSize() const noexcept { return m_Size; }
    // The body pieces of bytes [First, First + Count): whole fragments and,
    // at the ends, parts of one.
    std::vector<HttpServer::BodyPiece> Range(std::uint64_t First, std::uint64_t Count) const;

private:
    std::vector<SharedBytes> m_Fragments;
    std::size_t m_Size = 0;
};

using SharedMediaBody = std::shared_ptr<MediaBody const>;
} // namespace Application
