// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/PlayReadyHeader.h"

#include <algorithm>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/Base64.h"

namespace Application
{
namespace
{
std::string Open(char const* Version)
{
    return StringFormat("<WRMHEADER xmlns=\"http://schemas.microsoft.com/DRM/2007/03/PlayReadyHeader\" version=\"%s\"><DATA>", Version);
}

std::string LicenceAcquisition(std::string const& Key, bool Cbc)
{
    return StringFormat("<LA_URL>%s?cfg=(persist:false,ck:%s%s)</LA_URL>", PlayReadyHeader::LicenceServer, Key.c_str(), Cbc ? ",ckt:aescbc" : "");
}

std::string KeyIdList(char const* Algorithm, std::string const& KeyId)
{
    return StringFormat("<PROTECTINFO><KIDS><KID ALGID=\"%s\" VALUE=\"%s\"></KID></KIDS></PROTECTINFO>", Algorithm, KeyId.c_str());
}

constexpr char const* Close = "</DATA></WRMHEADER>";

// A PlayReady header names the key ID as a GUID in its little-endian byte
// layout (PlayReady Header Object, KID element: Data1, Data2 and Data3
// byte-swapped), while tenc and pssh carry the same key ID in UUID (big-endian)
// order. Without the swap a PlayReady client asks for a licence for another key.
std::vector<std::uint8_t> GuidByteOrder(std::span<std::uint8_t const> KeyId)
{
    CHECK_LINE(KeyId.size() == 16);
    std::vector<std::uint8_t> Bytes(KeyId.begin(), KeyId.end());
    std::reverse(Bytes.begin(), Bytes.begin() + 4);
    std::reverse(Bytes.begin() + 4, Bytes.begin() + 6);
    std::reverse(Bytes.begin() + 6, Bytes.begin() + 8);
    return Bytes;
}

void AppendLittleEndian(std::vector<std::uint8_t>& Bytes, std::uint32_t Value, unsigned Size)
{
    for(unsigned Index = 0; Index < Size; ++Index)
        Bytes.push_back(static_cast<std::uint8_t>(Value >> (8 * Index)));
}
} // namespace

std::string PlayReadyHeader::BuildXml(EncryptionScheme Scheme, std::span<std::uint8_t const> KeyId, std::span<std::uint8_t const> Key)
{
    std::string const K = EncodeBase64(GuidByteOrder(KeyId));
    std::string const C = EncodeBase64(Key);
    switch(Scheme)
    {
    case EncryptionScheme::Cenc:
        return Open("4.0.0.0") + "<KID>" + K + "</KID>" + LicenceAcquisition(C, false) +
               "<PROTECTINFO><KEYLEN>16</KEYLEN><ALGID>AESCTR</ALGID></PROTECTINFO>" + Close;
    case EncryptionScheme::CencPlayReady42:
        return Open("4.2.0.0") + LicenceAcquisition(C, false) + KeyIdList("AESCTR", K) + Close;
    case EncryptionScheme::Cbcs:
        return Open("4.3.0.0") + LicenceAcquisition(C, true) + KeyIdList("AESCBC", K) + Close;
    }
    return {};
}

std::vector<std::uint8_t> PlayReadyHeader::BuildObject(EncryptionScheme Scheme, std::span<std::uint8_t const> KeyId, std::span<std::uint8_t const> Key)
{
    std::string const Xml = BuildXml(Scheme, KeyId, Key);
    if(Xml.empty())
        return {};
    // The XML is ASCII, so each character is one UTF-16 code unit.
    std::size_t const RecordLength = 2 * Xml.size();
    CHECK_LINE(RecordLength <= 0xFFFF);
    std::vector<std::uint8_t> Object;
    Object.reserve(10 + RecordLength);
    AppendLittleEndian(Object, static_cast<std::uint32_t>(10 + RecordLength), 4);
    AppendLittleEndian(Object, 1, 2); // record count
    AppendLittleEndian(Object, 1, 2); // record type: rights-management header
    AppendLittleEndian(Object, static_cast<std::uint32_t>(RecordLength), 2);
    for(char Character : Xml)
        AppendLittleEndian(Object, static_cast<unsigned char>(Character), 2);
    return Object;
}
} // namespace Application
