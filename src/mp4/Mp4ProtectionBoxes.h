// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mp4/Mp4Box.h"

// The boxes that signal common encryption in sample entries and movies.
namespace Mp4
{
// Original format: the sample entry type before protection replaced it.
struct FrmaBox : Box
{
    FrmaBox() noexcept : Box(MakeFourCc("frma")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_DataFormat = 0;
};

struct SchmBox : FullBox
{
    SchmBox() noexcept : FullBox(MakeFourCc("schm")) { }
    void Write(BoxWriter& Writer) const;

    std::uint32_t m_SchemeType = 0;
    std::uint32_t m_SchemeVersion = 0;
    std::string m_SchemeUri; // written only when flags & 1
};

struct TencBox : FullBox
{
    TencBox() noexcept : FullBox(MakeFourCc("tenc")) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_DefaultCryptByteBlock = 0; // version 1 and later
    std::uint8_t m_DefaultSkipByteBlock = 0;  // version 1 and later
    std::uint8_t m_DefaultIsProtected = 0;
    std::uint8_t m_DefaultPerSampleIvSize = 0;
    Bytes16 m_DefaultKid{};
    // Written only for protected tracks without per-sample IVs.
    std::uint8_t m_DefaultConstantIvSize = 0;
    Bytes16 m_DefaultConstantIv{};
};

struct SchiBox : Box
{
    SchiBox() noexcept : Box(MakeFourCc("schi")) { }
    void Write(BoxWriter& Writer) const;

    TencBox m_TencBox;
};

struct SinfBox : Box
{
    SinfBox() noexcept : Box(MakeFourCc("sinf")) { }
    void Write(BoxWriter& Writer) const;

    FrmaBox m_FrmaBox;
    SchmBox m_SchmBox;
    SchiBox m_SchiBox;
};

// A protection system's data for the whole movie, or for one fragment.
struct PsshBox : FullBox
{
    PsshBox() noexcept : FullBox(MakeFourCc("pssh")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    Bytes16 m_SystemId{};
    std::vector<Bytes16> m_KidVector; // written for version 1 and later
    std::vector<std::uint8_t> m_Data;
};
} // namespace Mp4
