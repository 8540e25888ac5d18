// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "base/Status.h"

// Failure codes that clients see in error bodies. They keep the values they
// had when they were introduced, so that they stay stable when code moves;
// every other check uses FailureCodeFromLine(__LINE__).
namespace FailureCode
{
// Server start-up: the location text
constexpr HRESULT LocationWithoutSchemeSeparator = static_cast<HRESULT>(0x80FF08BC); // "PositionA != Location.npos"
constexpr HRESULT LocationWithoutPath = static_cast<HRESULT>(0x80FF08BE);            // "PositionB != Location.npos"
// Router
constexpr HRESULT PathOutsideBasePaths = static_cast<HRESULT>(0x80FF0907);  // "BasePathRemoved"
constexpr HRESULT IntentionalException = static_cast<HRESULT>(0x80FF0940);
constexpr HRESULT WebCodecsVariantOutOfRange = static_cast<HRESULT>(0x80FF0A1C);
constexpr HRESULT FrameMissing = static_cast<HRESULT>(0x80FF0A5F);
constexpr HRESULT FrameOutOfRange = static_cast<HRESULT>(0x80FF0A60);
constexpr HRESULT AssetMissing = static_cast<HRESULT>(0x80FF0BFC);
constexpr HRESULT AssetUnknown = static_cast<HRESULT>(0x80FF0BFE);
constexpr HRESULT AssetWithoutKey = static_cast<HRESULT>(0x80FF0C06);
constexpr HRESULT VideoPlaylistVariant = static_cast<HRESULT>(0x80FF0C16);
constexpr HRESULT VideoHeaderVariant = static_cast<HRESULT>(0x80FF0C76);
constexpr HRESULT VideoBodyVariant = static_cast<HRESULT>(0x80FF0C8B);
constexpr HRESULT VideoBodyIndexMissing = static_cast<HRESULT>(0x80FF0C8D);
constexpr HRESULT AudioBodyIndexMissing = static_cast<HRESULT>(0x80FF0D51);
constexpr HRESULT UnexpectedPath = static_cast<HRESULT>(0x80FF0D82);
constexpr HRESULT UnexpectedMethod = static_cast<HRESULT>(0x80FF0D92);
// Hexadecimal byte strings of the request configuration
constexpr HRESULT Base16OddLength = static_cast<HRESULT>(0x80FF01A0);     // "Value.size() % 2 == 0"
constexpr HRESULT Base16WrongLength = static_cast<HRESULT>(0x80FF01A1);   // "!Length.has_value() || Value.size() == Length.value() * 2"
constexpr HRESULT Base16NotHexadecimal = static_cast<HRESULT>(0x80FF01A8); // a pair of characters that is not two hexadecimal digits
// Request clock: a "now" that names no time
constexpr HRESULT NowInvalid = static_cast<HRESULT>(0x80FF0E10); // "RequestTime::Parse(Value)"
// Fault rules of a manifest request: one that does not parse
constexpr HRESULT FaultRuleInvalid = static_cast<HRESULT>(0x80FF0E20); // "FaultParser::ParseRule"
// Low-latency HLS: playlist delivery directives and parts
constexpr HRESULT DeliveryDirectiveInvalid = static_cast<HRESULT>(0x80FF0E30); // "DeliveryDirectives::FromQuery(Query)"
constexpr HRESULT DeliveryDirectiveTooFar = static_cast<HRESULT>(0x80FF0E31);  // "BlockingReload: too far ahead of the playlist"
constexpr HRESULT PartInvalid = static_cast<HRESULT>(0x80FF0E32);              // "part < PartCount(Segment)"
constexpr HRESULT PartTooFarAhead = static_cast<HRESULT>(0x80FF0E33);          // "part due within the hold limit"
// Media segment requests: the numbers that name a segment
constexpr HRESULT SegmentNumberMalformed = static_cast<HRESULT>(0x80FF0E40); // "index", "baseIndex" or "extra-video-segments" not strict decimal
constexpr HRESULT SegmentOutsideAsset = static_cast<HRESULT>(0x80FF0E41);    // "index - baseIndex below the track's segment count"
constexpr HRESULT PeriodInvalid = static_cast<HRESULT>(0x80FF0E42);          // "period" not one of the DASH periods
// Asset store: it failed, or did not answer in time (answered 503)
constexpr HRESULT AssetStoreUnavailable = static_cast<HRESULT>(0x80FF0E43); // "AssetStore call"
// Request log: "from" not strict decimal, or "format" neither json nor csv
constexpr HRESULT SessionQueryInvalid = static_cast<HRESULT>(0x80FF0E50); // "session?asset=N[&from=S][&format=csv]"
// Subtitle tracks: options that do not go together, a language the asset has no track of
constexpr HRESULT SubtitlesInvalid = static_cast<HRESULT>(0x80FF0E60);        // "subs", "subsdur", "subsreg", "subsformat"
constexpr HRESULT SubtitleLanguageUnknown = static_cast<HRESULT>(0x80FF0E61); // "lang" names none of the asset's subtitle tracks in this form

constexpr HRESULT BreaksInvalid = static_cast<HRESULT>(0x80FF0E70); // "breaks", "signal", "lead", "scte", "ads"
constexpr HRESULT BreakUnknown = static_cast<HRESULT>(0x80FF0E71);  // "break" or "ad" names none of the asset's breaks or ads
constexpr HRESULT ChangesInvalid = static_cast<HRESULT>(0x80FF0E72); // "disc", "codecswitch", "sizeswitch", "clearlead", "rotate", "audiokey"
constexpr HRESULT KeyUnknown = static_cast<HRESULT>(0x80FF0E73);     // "kid" names none of the asset's keys
// Audio rows: "audio" names no audio row of the asset
constexpr HRESULT AudioRowUnknown = static_cast<HRESULT>(0x80FF0E80); // "audio" names none of the asset's codecs
// Thumbnails: a "thumbs" that does not parse or goes with "novideo"; a thumbnail request of an asset without them
constexpr HRESULT ThumbnailsInvalid = static_cast<HRESULT>(0x80FF0EB0); // "thumbs"
constexpr HRESULT ThumbnailsAbsent = static_cast<HRESULT>(0x80FF0EB1);  // "thumbs.m3u8", "thumbs.jpg" of an asset made without "thumbs"
// HLS I-frame playlists: asked of an asset made without "iframes"
constexpr HRESULT IFramesAbsent = static_cast<HRESULT>(0x80FF0EC0); // "iframes.m3u8", or "iframe" on a segment
// Content steering: options that do not go together, a pathway the asset does not have
constexpr HRESULT SteeringInvalid = static_cast<HRESULT>(0x80FF0EA0); // "steer", "steerrotate", "steerttl", the steering route's reports
constexpr HRESULT PathwayUnknown = static_cast<HRESULT>(0x80FF0EA1);  // "pathway" or "prefer" names none of the asset's pathways
// Live events: "start" or "stop" that names no time, or that does not go with the other options
constexpr HRESULT EventInvalid = static_cast<HRESULT>(0x80FF0E90); // "start", "stop"
// Segment production: a pipeline that stopped making progress
constexpr HRESULT PipelineStreamingStall = static_cast<HRESULT>(0x80FF008F); // "Pipeline streaming stall suspicion"
// Segment production: a pipeline that does not close
constexpr HRESULT PipelineClosureStall = static_cast<HRESULT>(0x80FF009E); // "Pipeline closure stall suspicion"
} // namespace FailureCode
