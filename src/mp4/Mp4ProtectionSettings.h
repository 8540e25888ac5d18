// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "mp4/Mp4Box.h"

namespace Mp4
{
enum class ProtectionScheme : std::uint32_t
{
    None = 0,
    Cenc = 1, // AES-128 counter mode, per-sample IVs
    Cbcs = 2, // AES-128 CBC with a 1:9 pattern for video and a constant IV
};

// A protection system identifier as its 16 bytes read in the GUID's text
// order (Data1, Data2 and Data3 big-endian, then Data4).
using ProtectionSystemId = Bytes16;
constexpr ProtectionSystemId PlayReadySystemId{0x9A, 0x04, 0xF0, 0x79, 0x98, 0x40, 0x42, 0x86, 0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95};
// The other system asked for pssh data ({EDEF8BA9-79D6-4ACE-A3C8-27DCD51D21ED}).
constexpr ProtectionSystemId EdefSystemId{0xED, 0xEF, 0x8B, 0xA9, 0x79, 0xD6, 0x4A, 0xCE, 0xA3, 0xC8, 0x27, 0xDC, 0xD5, 0x1D, 0x21, 0xED};
// The common system ({1077EFEC-C0B2-4D02-ACE3-3C1E52E2FB4B}): a version 1 pssh
// of it names key IDs and nothing else, which is what Clear Key reads.
constexpr ProtectionSystemId CommonSystemId{0x10, 0x77, 0xEF, 0xEC, 0xC0, 0xB2, 0x4D, 0x02, 0xAC, 0xE3, 0x3C, 0x1E, 0x52, 0xE2, 0xFB, 0x4B};

// The pssh data of a protection system; empty means no pssh box for it.
using ProtectionDataProvider = std::function<std::vector<std::uint8_t>(ProtectionSystemId const& SystemId)>;

struct ProtectionSettings
{
    // Protection is on only with a scheme and a 16-byte key identifier, key and IV.
    bool IsActive() const noexcept
    {
        return m_Scheme != ProtectionScheme::None && m_KeyIdentifier.size() == 16 && m_Key.size() == 16 && m_InitializationVector.size() == 16;
    }
    // The key ID the initialisation segment names (tenc and its pssh boxes).
    std::vector<std::uint8_t> const& GetDefaultKeyIdentifier() const noexcept
    {
        return m_DefaultKeyIdentifier.empty() ? m_KeyIdentifier : m_DefaultKeyIdentifier;
    }
    // Whether the fragments say in a 'seig' sample group what tenc does not:
    // that their samples are clear, or which other key they are under.
    bool HasSampleGroup() const noexcept { return m_ClearSamples || GetDefaultKeyIdentifier() != m_KeyIdentifier; }

    ProtectionScheme m_Scheme = ProtectionScheme::None;
    std::vector<std::uint8_t> m_KeyIdentifier;
    std::vector<std::uint8_t> m_Key;
    // cenc: the seed of the per-sample IVs; cbcs: the constant IV.
    std::vector<std::uint8_t> m_InitializationVector;
    // pssh data of the key above (in the initialisation segment: of the default key).
    ProtectionDataProvider m_DataProvider;
    // The key ID the initialisation segment names as its default (tenc); empty:
    // m_KeyIdentifier. A media fragment whose key (m_KeyIdentifier) differs
    // from it names its own in a 'seig' sample group.
    std::vector<std::uint8_t> m_DefaultKeyIdentifier;
    // The fragments' samples stay clear, said so by a 'seig' group entry with
    // isProtected 0 (a clear lead inside an encrypted track): no sample is
    // enciphered, and there is no senc, saiz or saio for them.
    bool m_ClearSamples = false;
    // Each moof carries pssh boxes naming the fragment's key ID (key rotation
    // signalled in the media): a version 1 box of the common system listing
    // the key ID, then one of every system the data provider gives data for.
    // Not with clear samples, which need no key.
    bool m_FragmentPssh = false;
};
} // namespace Mp4
