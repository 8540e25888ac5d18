// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ImscWriter.h"

#include <algorithm>

#include "base/StringFormat.h"
#include "presentation/SubtitleCues.h"

namespace Application
{
namespace
{
std::string Escaped(std::string_view Text)
{
    std::string Result;
    for(char Character : Text)
        switch(Character)
        {
        case '&':
            Result += "&amp;";
            break;
        case '<':
            Result += "&lt;";
            break;
        case '>':
            Result += "&gt;";
            break;
        case '"':
            Result += "&quot;";
            break;
        default:
            Result += Character;
        }
    return Result;
}

// Lines of a cue become spans separated by line breaks.
std::string Lines(std::string_view Text)
{
    std::string Result;
    std::size_t Begin = 0;
    for(;;)
    {
        auto const End = Text.find('\n', Begin);
        Result += Escaped(Text.substr(Begin, End == std::string_view::npos ? std::string_view::npos : End - Begin));
        if(End == std::string_view::npos)
            return Result;
        Result += "<br/>";
        Begin = End + 1;
    }
}
} // namespace

std::string ImscWriter::Document(std::vector<SubtitleCue> const& Cues, std::int64_t Start, std::int64_t End, std::string const& Language, bool Top)
{
    std::string Text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Text += "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\" xmlns:tts=\"http://www.w3.org/ns/ttml#styling\"";
    Text += StringFormat(" xml:lang=\"%s\" ttp:profile=\"%s\" ttp:timeBase=\"media\">", Escaped(Language).c_str(), Profile);
    Text += "<head><styling><style xml:id=\"text\" tts:color=\"white\" tts:backgroundColor=\"black\" tts:textAlign=\"center\" tts:fontSize=\"100%\"/></styling>";
    // One region, a band across the picture's top or bottom fifth.
    Text += Top ? "<layout><region xml:id=\"subtitles\" tts:origin=\"10% 5%\" tts:extent=\"80% 20%\" tts:displayAlign=\"before\"/></layout>"
                : "<layout><region xml:id=\"subtitles\" tts:origin=\"10% 75%\" tts:extent=\"80% 20%\" tts:displayAlign=\"after\"/></layout>";
    Text += "</head><body style=\"text\" region=\"subtitles\"><div>";
    for(auto const& Cue : Cues)
    {
        auto const Begin = std::max(Cue.Start, Start);
        auto const Finish = std::min(Cue.End, End);
        if(Begin >= Finish)
            continue;
        Text += StringFormat("<p begin=\"%s\" end=\"%s\">", SubtitleCues::TimeText(Begin).c_str(), SubtitleCues::TimeText(Finish).c_str());
        Text += Lines(Cue.Text) + "</p>";
    }
    Text += "</div></body></tt>\n";
    return Text;
}
} // namespace Application
