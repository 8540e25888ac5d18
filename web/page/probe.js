// SPDX-License-Identifier: GPL-2.0-or-later
// Watches one media element inside the page and records what a viewer would
// notice: every position sample with the buffered ranges, element errors and
// the errors the player reports. The runner reads the
// record with PlaybackProbe.current.report() and judges it in Node
// (lib/Verdict.mjs), so the page only observes.
(() => {
  const SampleIntervalMs = 100;

  function ranges(timeRanges) {
    const result = [];
    for (let index = 0; index < timeRanges.length; index++)
      result.push([timeRanges.start(index), timeRanges.end(index)]);
    return result;
  }

  // The text of a cue as a viewer reads it: a WebVTT cue's text without its
  // markup, or the
  // spans of an IMSC document that dash.js keeps beside an empty text
  // (cue.isd) and renders itself, lines joined by line breaks.
  function isdText(node) {
    if (!node) return '';
    if (node.kind === 'br') return '\n';
    if (typeof node.text === 'string') return node.text;
    return (node.contents || []).map((child) => {
      const text = isdText(child);
      return child.kind === 'p' ? text + '\n' : text;
    }).join('');
  }

  // Shaka writes an IMSC1 span's style as WebVTT class spans (<c.white>).
  function cueText(cue) {
    return (cue.text || isdText(cue.isd)).replace(/<[^>]*>/g, '');
  }

  class PlaybackProbe {
    constructor(element) {
      this.element = element;
      this.origin = performance.now();
      this.errors = [];
      this.samples = [];
      // With recordText set, what the text tracks showed at every sample.
      this.recordText = false;
      this.textSamples = [];
      this.cueTexts = new Set();
      // Timed events the player raised (ad breaks, regions, event messages), in order.
      this.events = [];
      for (const name of ['loadedmetadata', 'playing', 'waiting', 'seeking', 'seeked', 'ended', 'error', 'encrypted', 'waitingforkey'])
        element.addEventListener(name, () => this.onEvent(name));
      this.timer = setInterval(() => this.sample(), SampleIntervalMs);
      PlaybackProbe.current = this;
    }

    now() {
      return (performance.now() - this.origin) / 1000;
    }

    onEvent(name) {
      if (name === 'error') {
        const error = this.element.error;
        this.fail('media element', error ? `code ${error.code} ${error.message || ''}`.trim() : 'unknown');
      }
      this.sample();
    }

    // detail: the event's own fields, plain values only.
    event(name, detail) {
      this.events.push({ at: this.now(), position: this.element.currentTime, name, ...detail });
    }

    fail(source, detail) {
      this.errors.push({ at: this.now(), source, detail: String(detail) });
    }

    sample() {
      const element = this.element;
      this.samples.push({
        at: this.now(),
        position: element.currentTime,
        paused: element.paused,
        seeking: element.seeking,
        ended: element.ended,
        buffered: ranges(element.buffered),
        size: `${element.videoWidth}x${element.videoHeight}`,
      });
      if (this.recordText) this.sampleText();
    }

    // The position and, of every text track a player shows or keeps hidden
    // for its own rendering, the active cues' texts and the player's own
    // wall-clock time of the position (this.clockOf, live), all read at once.
    sampleText() {
      const element = this.element;
      const cues = [];
      for (const track of element.textTracks) {
        if (track.mode === 'disabled' || !track.activeCues) continue;
        for (const cue of track.activeCues) {
          const text = cueText(cue);
          cues.push({ track: track.language || track.label, text });
          this.cueTexts.add(text);
        }
      }
      const clock = this.clockOf ? this.clockOf() : null;
      this.textSamples.push({ at: this.now(), position: element.currentTime, seeking: element.seeking, clock, cues, tracks: element.textTracks.length });
    }

    quality() {
      const element = this.element;
      const figures = { width: element.videoWidth || 0, height: element.videoHeight || 0 };
      if (element.getVideoPlaybackQuality) {
        const quality = element.getVideoPlaybackQuality();
        figures.decodedFrames = quality.totalVideoFrames - quality.droppedVideoFrames;
        figures.droppedFrames = quality.droppedVideoFrames;
      }
      // Chromium's own counters; other browsers may lack them.
      if ('webkitAudioDecodedByteCount' in element) figures.audioBytes = element.webkitAudioDecodedByteCount;
      return figures;
    }

    report() {
      this.sample();
      return {
        errors: this.errors,
        samples: this.samples,
        mediaKeys: Boolean(this.element.mediaKeys),
        played: ranges(this.element.played),
        quality: this.quality(),
        player: this.playerFigures ? this.playerFigures() : {},
        text: this.textSamples,
        events: this.events,
      };
    }

    stop() {
      clearInterval(this.timer);
    }
  }

  window.PlaybackProbe = PlaybackProbe;
})();
