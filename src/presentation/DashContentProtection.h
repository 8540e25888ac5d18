// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/ContentKeys.h"

namespace Application
{
// The content protection descriptors of an encrypted asset's adaptation
// sets, written when the manifest request asked for them ("cp"): by default
// players find the protection in the initialisation segments.
//
// Following the DASH-IF interoperability points (content protection), each
// set carries the MPEG Common Encryption scheme with the default key ID
// (ISO/IEC 23009-1 5.8.5.2, ISO/IEC 23001-7 11.2), PlayReady with its header
// object and pssh box, and W3C Clear Key with the address of the asset's
// licence route, so that a player needs no key configuration.
class DashContentProtection
{
public:
    // DASH-IF's Clear Key system, e2719d58-a985-b3c9-781a-b030af78d30e.
    static constexpr char const* ClearKeySchemeUri = "urn:uuid:e2719d58-a985-b3c9-781a-b030af78d30e";

    // LicenceUrl: the absolute address of the asset's Clear Key licence
    // route (players resolve a relative one against their page, not the
    // manifest).
    DashContentProtection(Configuration const& Asset, std::string LicenceUrl);

    // Whether the manifest carries descriptors: an encrypted asset with "cp".
    bool IsPresent() const noexcept;
    // The namespace declarations of the MPD element the descriptors need
    // (each with a leading blank); empty when there are none.
    std::string Namespaces() const;
    // The ContentProtection elements of one adaptation set of Track in
    // State (its key); empty when there are none (or the media is clear).
    std::string Descriptors(KeyTrack Track = KeyTrack::Video, ChangeState const& State = {}) const;

    // "a3f1c6d2-847b-4e09-b5e2-d7c8196f3a40": 16 bytes in UUID text form.
    static std::string UuidText(std::span<std::uint8_t const> Bytes);

private:
    Configuration const& m_Asset;
    std::string m_LicenceUrl;
};
} // namespace Application
