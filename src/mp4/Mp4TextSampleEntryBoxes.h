// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mp4/Mp4Box.h"

// The sample entries of text tracks and the string boxes of WebVTT in MP4.
namespace Mp4
{
// A box whose content is one UTF-8 string filling it, without a terminating
// zero (the 'boxstring' of WebVTT in MP4: vttC, vlab, iden, sttg, payl).
struct BoxStringBox : Box
{
    using Box::Box;
    void Write(BoxWriter& Writer) const;

    std::string m_Text;
};

// XMLSubtitleSampleEntry: TTML documents, one per sample.
struct StppBox : Box
{
    StppBox() noexcept : Box(MakeFourCc("stpp")) { }
    void Write(BoxWriter& Writer) const;

    std::string m_Namespace; // space-separated XML namespaces of the documents
    std::string m_SchemaLocation;
    std::string m_AuxiliaryMimeTypes; // of images and fonts the documents use
};

// WVTTSampleEntry: the WebVTT file header and a label of the source.
struct WvttBox : Box
{
    WvttBox() noexcept : Box(MakeFourCc("wvtt")) { }
    void Write(BoxWriter& Writer) const;

    BoxStringBox m_VttcConfigurationBox{MakeFourCc("vttC")}; // the text before the first cue, at least "WEBVTT"
    BoxStringBox m_VlabBox{MakeFourCc("vlab")};              // the same label for tracks made from the same source
};
} // namespace Mp4
