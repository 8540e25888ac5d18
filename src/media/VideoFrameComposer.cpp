// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoFrameComposer.h"

#include <cmath>
#include <numbers>

#include <pango/pangocairo.h>

#include "base/Check.h"
#include "media/BreakMoment.h"
#include "media/FrameCodePainter.h"
#include "media/HdrPicturePainter.h"
#include "media/VideoFrameText.h"

namespace Application
{
namespace
{
struct GObjectDeleter
{
    void operator()(void* Object) const noexcept { g_object_unref(Object); }
};
struct CairoDeleter
{
    void operator()(cairo_t* Cairo) const noexcept { cairo_destroy(Cairo); }
    void operator()(cairo_surface_t* Surface) const noexcept { cairo_surface_destroy(Surface); }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

// One text line: its font and its layout, reused for every frame.
struct TextFormat
{
    PangoWeight Weight;
    PangoStretch Stretch;
    std::uint32_t HeightDivisor;
    PangoAlignment Alignment;
};

// Khaki.
constexpr double TextRed = 240.0 / 255.0;
constexpr double TextGreen = 230.0 / 255.0;
constexpr double TextBlue = 140.0 / 255.0;

// The box spans the middle three fifths of the width and three quarters of
// the height, and moves by up to a sixth of the width either way.
constexpr double BoxMargin = 1.0 / 5.0;
constexpr double BoxVerticalMargin = 0.125;
constexpr double SwayAmplitude = 1.0 / 6.0;
constexpr double SwayPeriodSeconds = 4.0;

struct Extents
{
    double Left;
    double Width;
    double Height;
};

void SetColor(cairo_t* Cairo, std::uint32_t Color)
{
    cairo_set_source_rgb(Cairo, ((Color >> 16) & 0xFF) / 255.0, ((Color >> 8) & 0xFF) / 255.0, (Color & 0xFF) / 255.0);
}

Extents LayoutExtents(PangoLayout* Layout)
{
    PangoRectangle Logical;
    pango_layout_get_extents(Layout, nullptr, &Logical);
    return {pango_units_to_double(Logical.x), pango_units_to_double(Logical.width), pango_units_to_double(Logical.height)};
}
} // namespace

struct VideoFrameComposer::Resources
{
    // The frame number, the time, the format; then the banners: the ad, the
    // break notice, the change and the speaker of 5.1 audio, a twelfth of
    // the height as the time is,
    // so that they read on a 640x360 capture.
    enum Line : std::size_t
    {
        FrameNumberLine,
        TimeLine,
        FormatLine,
        AdvertLine,
        BreakLine,
        ChangeLine,
        SpeakerLine,
        LineCount
    };
    static constexpr TextFormat Formats[LineCount] = {
        {PANGO_WEIGHT_SEMIBOLD, PANGO_STRETCH_NORMAL, 6, PANGO_ALIGN_LEFT},
        {PANGO_WEIGHT_MEDIUM, PANGO_STRETCH_SEMI_CONDENSED, 12, PANGO_ALIGN_LEFT},
        {PANGO_WEIGHT_MEDIUM, PANGO_STRETCH_SEMI_CONDENSED, 32, PANGO_ALIGN_CENTER},
        {PANGO_WEIGHT_BOLD, PANGO_STRETCH_NORMAL, 12, PANGO_ALIGN_CENTER},
        {PANGO_WEIGHT_BOLD, PANGO_STRETCH_NORMAL, 12, PANGO_ALIGN_CENTER},
        {PANGO_WEIGHT_BOLD, PANGO_STRETCH_NORMAL, 12, PANGO_ALIGN_CENTER},
        {PANGO_WEIGHT_BOLD, PANGO_STRETCH_NORMAL, 12, PANGO_ALIGN_CENTER},
    };
    // The change line is centred in the box like the others; no wider than
    // this share of the picture it stays whole in the picture at every sway.
    static constexpr double ChangeLineWidthShare = 1.0 - 2.0 * SwayAmplitude;

    GObjectPtr<PangoFontMap> FontMap;
    GObjectPtr<PangoContext> Context;
    GObjectPtr<PangoLayout> Layouts[LineCount];
    std::string AdvertText;
    std::string FormatText;
    std::string ChangeText;
    std::optional<HdrPicturePainter> WidePainter;

    explicit Resources(Parameters const& Value)
    {
        if(IsHighDynamicRange(Value.Range))
            WidePainter.emplace(Value.Range);
        // A font map of its own: pango's objects are not to be shared
        // between threads.
        FontMap.reset(pango_cairo_font_map_new());
        CHECK_POINTER(FontMap);
        Context.reset(pango_font_map_create_context(FontMap.get()));
        CHECK_POINTER(Context);
        std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> Options(cairo_font_options_create(), cairo_font_options_destroy);
        cairo_font_options_set_antialias(Options.get(), CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_metrics(Options.get(), CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(Context.get(), Options.get());
        double const BoxWidth = Value.Width - 2.0 * Value.Width * BoxMargin;
        for(std::size_t Index = 0; Index < std::size(Formats); ++Index)
            Layouts[Index] = CreateLayout(Formats[Index], static_cast<double>(Value.Height) / Formats[Index].HeightDivisor, BoxWidth);
        // A banner stays one line, whatever its length: a break of an hour
        // says "AD BREAK 3600/3600 s", wider than the box of a narrow picture.
        for(std::size_t Index = AdvertLine; Index < std::size(Formats); ++Index)
            pango_layout_set_width(Layouts[Index].get(), -1);
        FormatText = VideoFrameText::Format(Value.Width, Value.Height, Value.RateN, Value.RateD, Value.ExtraText);
        if(Value.Advert)
            AdvertText = VideoFrameText::Advert(Value.Advert->Number, Value.Advert->Count);
        if(Value.Change)
        {
            ChangeText = Value.Change->Text;
            FitChangeLine(Value.Width * ChangeLineWidthShare, BoxWidth);
        }
    }

    GObjectPtr<PangoLayout> CreateLayout(TextFormat const& Format, double FontSize, double BoxWidth)
    {
        GObjectPtr<PangoLayout> Layout(pango_layout_new(Context.get()));
        CHECK_POINTER(Layout);
        std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> Font(pango_font_description_new(), pango_font_description_free);
        pango_font_description_set_family_static(Font.get(), FontFamily);
        pango_font_description_set_style(Font.get(), PANGO_STYLE_NORMAL);
        pango_font_description_set_weight(Font.get(), Format.Weight);
        pango_font_description_set_stretch(Font.get(), Format.Stretch);
        // Sizes are in pixels, as the picture has no resolution of its own.
        pango_font_description_set_absolute_size(Font.get(), FontSize * PANGO_SCALE);
        pango_layout_set_font_description(Layout.get(), Font.get());
        pango_layout_set_alignment(Layout.get(), Format.Alignment);
        pango_layout_set_width(Layout.get(), pango_units_from_double(BoxWidth));
        return Layout;
    }

    // The change text is the same in every picture of a run: a text too
    // wide for MaximalWidth gets a font small enough, once.
    void FitChangeLine(double MaximalWidth, double BoxWidth)
    {
        if(ChangeText.empty())
            return;
        auto& Layout = Layouts[ChangeLine];
        pango_layout_set_text(Layout.get(), ChangeText.data(), static_cast<int>(ChangeText.size()));
        double const Width = LayoutExtents(Layout.get()).Width;
        if(Width <= MaximalWidth)
            return;
        double const FontSize = pango_units_to_double(pango_font_description_get_size(pango_layout_get_font_description(Layout.get())));
        Layout = CreateLayout(Formats[ChangeLine], FontSize * MaximalWidth / Width, BoxWidth);
        pango_layout_set_width(Layout.get(), -1);
    }
};

VideoFrameComposer::VideoFrameComposer(Parameters Value) : m_Parameters(std::move(Value))
{
    CHECK_LINE(m_Parameters.RateN > 0 && m_Parameters.RateD > 0);
    CHECK_LINE(m_Parameters.Width > 0 && m_Parameters.Height > 0);
    m_Resources = std::make_unique<Resources>(m_Parameters);
}

VideoFrameComposer::~VideoFrameComposer() = default;

void VideoFrameComposer::Compose(std::int64_t Index, std::int64_t Time, std::uint8_t* Data, std::uint32_t Stride)
{
    CHECK_POINTER(Data);
    CHECK_ARGUMENT(Stride >= m_Parameters.Width * BytesPerPixel && Stride % 4 == 0);
    double const Width = m_Parameters.Width;
    double const Height = m_Parameters.Height;
    std::unique_ptr<cairo_surface_t, CairoDeleter> Surface(cairo_image_surface_create_for_data(
        Data, CAIRO_FORMAT_ARGB32, static_cast<int>(m_Parameters.Width), static_cast<int>(m_Parameters.Height), static_cast<int>(Stride)));
    CHECK_LINE(cairo_surface_status(Surface.get()) == CAIRO_STATUS_SUCCESS);
    std::unique_ptr<cairo_t, CairoDeleter> Cairo(cairo_create(Surface.get()));
    CHECK_LINE(cairo_status(Cairo.get()) == CAIRO_STATUS_SUCCESS);

    cairo_set_operator(Cairo.get(), CAIRO_OPERATOR_SOURCE);
    SetColor(Cairo.get(), m_Parameters.BackgroundColor);
    cairo_paint(Cairo.get());

    double const FramesPerSway = SwayPeriodSeconds * m_Parameters.RateN / m_Parameters.RateD;
    double const Sway = std::sin(2.0 * std::numbers::pi * static_cast<double>(Index) / FramesPerSway) * Width * SwayAmplitude;
    double const BoxLeft = Width * BoxMargin + Sway;
    double const BoxRight = Width - Width * BoxMargin + Sway;
    double const BoxTop = Height * BoxVerticalMargin;
    double const BoxBottom = Height - Height * BoxVerticalMargin;
    SetColor(Cairo.get(), m_Parameters.BoxColor);
    cairo_rectangle(Cairo.get(), BoxLeft, BoxTop, BoxRight - BoxLeft, BoxBottom - BoxTop);
    cairo_fill(Cairo.get());

    auto const Moment = BreakMoment::At(m_Parameters.BreakNotices, Time);
    std::string const FrameNumberText = VideoFrameText::FrameNumber(Index);
    std::string const TimeText = VideoFrameText::Time(Time, m_Parameters.BaseLiveTime);
    std::string const BreakText = Moment ? VideoFrameText::BreakNotice(*Moment) : std::string();
    std::string const SpeakerText = m_Parameters.Surround ? VideoFrameText::Speaker(Time) : std::string();
    // The banners stack below the format line in this order, each only when it applies.
    struct Shown
    {
        PangoLayout* Layout;
        Extents Size;
    };
    Shown Lines[Resources::LineCount];
    std::string const* const Texts[Resources::LineCount] = {&FrameNumberText, &TimeText, &m_Resources->FormatText, &m_Resources->AdvertText, &BreakText,
                                                            &m_Resources->ChangeText, &SpeakerText};
    std::size_t LineCount = 0;
    for(std::size_t Line = 0; Line < Resources::LineCount; ++Line)
    {
        std::string const& Text = *Texts[Line];
        if(Line > Resources::FormatLine && Text.empty())
            continue;
        PangoLayout* const Layout = m_Resources->Layouts[Line].get();
        pango_layout_set_text(Layout, Text.data(), static_cast<int>(Text.size()));
        Lines[LineCount++] = {Layout, LayoutExtents(Layout)};
    }

    // The lines are centred in the box, one below the other; the first two
    // alone place the block, so that the banner lines do not move the others.
    cairo_set_operator(Cairo.get(), CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(Cairo.get(), TextRed, TextGreen, TextBlue);
    double Top = (BoxTop + BoxBottom - (Lines[0].Size.Height + Lines[1].Size.Height)) / 2.0;
    for(std::size_t Line = 0; Line < LineCount; ++Line)
    {
        double const Left = (BoxLeft + BoxRight - Lines[Line].Size.Width) / 2.0 - Lines[Line].Size.Left;
        cairo_move_to(Cairo.get(), Left, Top);
        pango_cairo_show_layout(Cairo.get(), Lines[Line].Layout);
        Top += Lines[Line].Size.Height;
    }
    cairo_surface_flush(Surface.get());
    // Painted last, straight into the pixels: nothing may draw over it.
    if(m_Parameters.FrameCode)
        FrameCodePainter::Paint(FrameCodePayload::Format(*m_Parameters.FrameCode, Index, Time, m_Parameters.BaseLiveTime, Moment,
                                                         m_Parameters.Advert ? std::optional(m_Parameters.Advert->Number) : std::nullopt,
                                                         m_Parameters.Change ? std::optional(m_Parameters.Change->Number) : std::nullopt),
                                Data, Stride, m_Parameters.Width, m_Parameters.Height);
    if(m_Resources->WidePainter)
        m_Resources->WidePainter->Paint(Data, Stride, m_Parameters.Width, m_Parameters.Height);
}
} // namespace Application
