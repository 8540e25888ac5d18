// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/MediaBody.h"

#include <algorithm>

namespace Application
{
MediaBody::MediaBody(std::vector<SharedBytes> Fragments) : m_Fragments(std::move(Fragments))
{
    for(auto const& Fragment : m_Fragments)
        m_Size += Fragment->size();
}

std::vector<HttpServer::BodyPiece> MediaBody::Range(std::uint64_t First, std::uint64_t Count) const
{
    std::vector<HttpServer::BodyPiece> Pieces;
    std::uint64_t Start = 0; // of the fragment at hand
    for(auto const& Fragment : m_Fragments)
    {
        std::uint64_t const End = Start + Fragment->size();
        if(End > First && Start < First + Count)
        {
            std::uint64_t const From = std::max(First, Start) - Start;
            std::uint64_t const To = std::min(First + Count, End) - Start;
            Pieces.push_back(HttpServer::BodyPiece::Of(Fragment).Sub(static_cast<std::size_t>(From), static_cast<std::size_t>(To - From)));
        }
        Start = End;
    }
    return Pieces;
}
} // namespace Application
