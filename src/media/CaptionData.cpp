// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/CaptionData.h"

#include "base/Check.h"
#include "base/MediaTime.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "media/Cea608Encoder.h"
#include "media/Cea708Encoder.h"

namespace Application
{
namespace
{
// cc_type values.
constexpr std::uint8_t Ntsc608Field1 = 0;
constexpr std::uint8_t DtvccPacketData = 2;
constexpr std::uint8_t DtvccPacketStart = 3;
// cc_count has 5 bits.
constexpr std::size_t MaximalCcCount = 31;
} // namespace

CaptionData::CaptionData(Services Kind, std::uint32_t RateN, std::uint32_t RateD) :
    m_Kind(Kind), m_RateN(RateN), m_RateD(RateD), m_MinimalFramesPerSecond(RateD > 0 ? RateN / RateD : 0)
{
    CHECK_ARGUMENT(Kind != Services::None);
    // Below one picture a second some seconds would have none.
    CHECK_ARGUMENT(RateD > 0 && m_MinimalFramesPerSecond >= 1);
}

std::string CaptionData::Text(std::int64_t Second)
{
    CHECK_ARGUMENT(Second >= 0);
    return StringFormat("CC1 %02lld:%02lld:%02lld", static_cast<long long>(Second / 3600), static_cast<long long>(Second / 60 % 60),
                        static_cast<long long>(Second % 60));
}

void CaptionData::Add608(std::int64_t Second, std::int64_t Position, std::vector<Triplet>& Triplets) const
{
    std::vector<Cea608Encoder::BytePair> Pairs{Cea608Encoder::EndOfCaption(), Cea608Encoder::EndOfCaption()};
    auto const Load = Cea608Encoder::LoadPopOn(Text(Second + 1));
    Pairs.insert(Pairs.end(), Load.begin(), Load.end());
    auto const PerFrame = static_cast<std::int64_t>(Pairs.size() + m_MinimalFramesPerSecond - 1) / m_MinimalFramesPerSecond;
    auto const First = Position * PerFrame;
    if(First >= static_cast<std::int64_t>(Pairs.size()))
    {
        auto const Padding = Cea608Encoder::Padding();
        Triplets.push_back({Ntsc608Field1, Padding.First, Padding.Second});
        return;
    }
    for(auto Index = First; Index < First + PerFrame && Index < static_cast<std::int64_t>(Pairs.size()); ++Index)
        Triplets.push_back({Ntsc608Field1, Pairs[Index].First, Pairs[Index].Second});
}

std::vector<std::uint8_t> CaptionData::ForPicture(std::int64_t Time) const
{
    CHECK_ARGUMENT(Time >= 0);
    std::int64_t const Frame = MulDivRound(Time, m_RateN, std::int64_t{m_RateD} * TimeUnitsPerSecond);
    std::int64_t const Second = MulDivFloor(Frame, m_RateD, m_RateN);
    std::int64_t const Position = Frame - MulDivCeiling(Second, m_RateN, m_RateD);
    std::vector<Triplet> Triplets;
    Add608(Second, Position, Triplets);
    if(m_Kind == Services::Cea608And708 && Position == 0)
    {
        auto const Packet = Cea708Encoder::Packet(Text(Second), static_cast<std::uint32_t>(Second % 4));
        for(std::size_t Index = 0; Index < Packet.size(); Index += 2)
            Triplets.push_back({Index == 0 ? DtvccPacketStart : DtvccPacketData, Packet[Index], Packet[Index + 1]});
    }
    ASSERT(Triplets.size() <= MaximalCcCount);
    // process_em_data_flag 0, process_cc_data_flag 1, additional_data_flag
    // 0, cc_count; em_data; the triplets (marker bits, cc_valid 1, cc_type);
    // marker_bits.
    std::vector<std::uint8_t> Data{static_cast<std::uint8_t>(0x40 | Triplets.size()), 0xFF};
    for(auto const& Each : Triplets)
        Data.insert(Data.end(), {static_cast<std::uint8_t>(0xF8 | 0x04 | Each.Type), Each.First, Each.Second});
    Data.push_back(0xFF);
    return Data;
}
} // namespace Application
