// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string_view>

// Files built into the program (see EmbedResource.cmake).
namespace Application::Resources
{
// The home page, UTF-8 HTML with "$(Build)", "$(Players)" ("installed" or
// "missing"), "$(Style)" and "$(Script)" placeholders, and its style and script.
std::string_view HomePage();
std::string_view HomePageStyle();
std::string_view HomePageScript();
// The WebCodecs test page, UTF-8 HTML with "$(Codec)", "$(FrameSizeW)",
// "$(FrameSizeH)", "$(FrameRateN)", "$(FrameRateD)" and "$(FrameCount)".
std::string_view WebCodecsPage();
} // namespace Application::Resources
