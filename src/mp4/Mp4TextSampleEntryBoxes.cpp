// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4TextSampleEntryBoxes.h"

#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
namespace
{
void AppendText(BoxWriter& Writer, std::string const& Text)
{
    Writer.AppendBytes({reinterpret_cast<std::uint8_t const*>(Text.data()), Text.size()});
}

// The fields every SampleEntry starts with.
void AppendSampleEntryFields(BoxWriter& Writer)
{
    Writer.AppendZeros(6);
    Writer.AppendU16(1); // data_reference_index
}
} // namespace

void BoxStringBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] { AppendText(Writer, m_Text); });
}

void StppBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        AppendSampleEntryFields(Writer);
        Writer.AppendString(m_Namespace);
        Writer.AppendString(m_SchemaLocation);
        Writer.AppendString(m_AuxiliaryMimeTypes);
    });
}

void WvttBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        AppendSampleEntryFields(Writer);
        m_VttcConfigurationBox.Write(Writer);
        m_VlabBox.Write(Writer);
    });
}
} // namespace Mp4
