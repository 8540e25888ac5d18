// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashContentProtection.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "mp4/Mp4ProtectionSignalling.h"
#include "presentation/Base64.h"
#include "presentation/PlayReadyHeader.h"
#include "presentation/XmlText.h"

namespace Application
{
DashContentProtection::DashContentProtection(Configuration const& Asset, std::string LicenceUrl) : m_Asset(Asset), m_LicenceUrl(std::move(LicenceUrl))
{
}

bool DashContentProtection::IsPresent() const noexcept
{
    return m_Asset.ContentProtection && !m_Asset.Key.empty();
}

std::string DashContentProtection::Namespaces() const
{
    if(!IsPresent())
        return {};
    return " xmlns:cenc=\"urn:mpeg:cenc:2013\" xmlns:mspr=\"urn:microsoft:playready\" xmlns:dashif=\"https://dashif.org/CPS\"";
}

std::string DashContentProtection::Descriptors(KeyTrack Track, ChangeState const& State) const
{
    if(!IsPresent() || State.Clear)
        return {};
    auto const Key = ContentKeys::Of(m_Asset, Track, State.KeyEpoch);
    std::string Text = StringFormat("<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"%s\" cenc:default_KID=\"%s\"/>",
                                    m_Asset.EncryptionScheme == EncryptionScheme::Cbcs ? "cbcs" : "cenc", UuidText(Key.Id).c_str());
    // The same header object and pssh box as the initialisation segments carry.
    auto Header = PlayReadyHeader::BuildObject(m_Asset.EncryptionScheme, Key.Id, Key.Key);
    auto const Pssh = Mp4::ProtectionSignalling::MakePsshBox(PlayReadyHeader::SystemId, Key.Id, Header);
    Text += StringFormat("<ContentProtection schemeIdUri=\"urn:uuid:%s\" value=\"MSPR 2.0\"><mspr:pro>%s</mspr:pro><cenc:pssh>%s</cenc:pssh></ContentProtection>",
                         UuidText(PlayReadyHeader::SystemId).c_str(), EncodeBase64(Header).c_str(), EncodeBase64(Pssh).c_str());
    // dash.js reads the licence address of a Laurl element by its prefix
    // (dashif, clearkey or ck), Shaka by the namespace https://dashif.org/CPS.
    Text += StringFormat("<ContentProtection schemeIdUri=\"%s\" value=\"ClearKey1.0\"><dashif:Laurl>%s</dashif:Laurl></ContentProtection>", ClearKeySchemeUri,
                         EscapeXmlText(m_LicenceUrl).c_str());
    return Text;
}

std::string DashContentProtection::UuidText(std::span<std::uint8_t const> Bytes)
{
    CHECK_LINE(Bytes.size() == 16);
    std::string Text;
    for(std::size_t Index = 0; Index < Bytes.size(); ++Index)
    {
        if(Index == 4 || Index == 6 || Index == 8 || Index == 10)
            Text += '-';
        Text += StringFormat("%02x", Bytes[Index]);
    }
    return Text;
}
} // namespace Application
