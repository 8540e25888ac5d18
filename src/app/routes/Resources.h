// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

// Files built into the program (see EmbedResource.cmake).
namespace Application::Resources
{
// The about page, UTF-8 HTML with "$(Build)" placeholders.
std::string_view AboutPage();
// The WebCodecs test page, UTF-8 HTML with "$(Codec)", "$(FrameSizeW)",
// "$(FrameSizeH)", "$(FrameRateN)", "$(FrameRateD)" and "$(FrameCount)".
std::string_view WebCodecsPage();
} // namespace Application::Resources
