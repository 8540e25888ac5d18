// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "presentation/Configuration.h"

namespace Application
{
// The PlayReady Object that signals an encrypted asset to PlayReady clients:
// one rights-management header record holding WRMHEADER XML in UTF-16LE,
// whose version and cipher follow the encryption scheme. Its licence address
// names a public test licence server that takes the content key in its query.
class PlayReadyHeader
{
public:
    // {9A04F079-9840-4286-AB92-E65BE0885F95}, in the byte order of a pssh box.
    static constexpr std::array<std::uint8_t, 16> SystemId{0x9A, 0x04, 0xF0, 0x79, 0x98, 0x40, 0x42, 0x86,
                                                           0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95};
    static constexpr char const* LicenceServer = "http://test.playready.microsoft.com/service/rightsmanager.asmx";

    // KeyId is given in UUID order, as tenc and pssh carry it; the XML names it
    // in GUID order. The header XML; empty for a scheme without a header.
    static std::string BuildXml(EncryptionScheme Scheme, std::span<std::uint8_t const> KeyId, std::span<std::uint8_t const> Key);
    // The whole object (length, record count, record type, record length,
    // record); empty for a scheme without a header.
    static std::vector<std::uint8_t> BuildObject(EncryptionScheme Scheme, std::span<std::uint8_t const> KeyId, std::span<std::uint8_t const> Key);
};
} // namespace Application
