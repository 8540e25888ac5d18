// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4EventMessageBox.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/HResultError.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::Serialise;

namespace
{
EventMessageBox MakeEvent()
{
    EventMessageBox Event;
    Event.SetPresent();
    // Moved in: GCC 12 misjudges the overlap of a literal copied into a member string at -O3.
    Event.m_SchemeIdUri = std::string("urn:a");
    Event.m_Value = std::string("1");
    Event.m_Timescale = 90'000;
    Event.m_PresentationTime = 0x1'0000'0002; // past 32 bits: version 1's 64-bit field
    Event.m_EventDuration = 2'700'000;
    Event.m_Id = 7;
    Event.m_MessageData = {0xFC, 0x30};
    return Event;
}
} // namespace

TEST(EventMessageBox, VersionOneLayout)
{
    EventMessageBox const Event = MakeEvent();
    std::vector<std::uint8_t> const Bytes = Serialise(Event);
    EXPECT_EQ(Bytes, Hex("0000002a 656d7367 01000000"  // size 42, "emsg", version 1, flags 0
                         "00015f90"                    // timescale
                         "0000000100000002"            // presentation_time
                         "002932e0"                    // event_duration
                         "00000007"                    // id
                         "75726e3a6100"                // scheme_id_uri "urn:a"
                         "3100"                        // value "1"
                         "fc30"));                     // message_data
    EXPECT_EQ(Event.GetSize(), Bytes.size());

    EventMessageBox Open = MakeEvent();
    Open.m_EventDuration = EventMessageBox::UnknownDuration;
    Open.m_Value.clear();
    Open.m_MessageData.clear();
    std::vector<std::uint8_t> const OpenBytes = Serialise(Open);
    EXPECT_EQ(std::vector<std::uint8_t>(OpenBytes.begin() + 24, OpenBytes.end()), Hex("ffffffff 00000007 75726e3a6100 00"));
    EXPECT_EQ(Open.GetSize(), OpenBytes.size());
    EXPECT_EQ(EventMessageBox().GetSize(), 0u) << "absent";
}

TEST(EventMessageBox, WhatReadersWouldMisreadIsRefused)
{
    EventMessageBox VersionZero = MakeEvent();
    VersionZero.m_Version = 0;
    EventMessageBox NoTimescale = MakeEvent();
    NoTimescale.m_Timescale = 0;
    EventMessageBox EmbeddedZero = MakeEvent();
    EmbeddedZero.m_Value.push_back('\0');
    EmbeddedZero.m_Value.push_back('b');
    for(auto const* Event : {&VersionZero, &NoTimescale, &EmbeddedZero})
        EXPECT_THROW(Serialise(*Event), HResultError);
}
