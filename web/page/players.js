// SPDX-License-Identifier: GPL-2.0-or-later
// Starts one of the players on the page's video element and forwards every
// error it reports to the probe. The runner has loaded the player's library
// before it calls startPlayer(name, url, options); options.clearKeys maps key
// IDs to keys (hexadecimal) for encrypted presentations; options.subtitles
// (a language) has the player show a text track, its default or that one;
// options.captions turns on the player's caption track (CEA-608 in the video);
// options.events has the probe record the player's timed events (ad breaks,
// timeline regions, event messages; for dash.js the schemes to subscribe to).
// options.pathwayFaults: a pathway of content steering fails on purpose, so
// the requests the player makes of it fail and it moves to another; those
// failures (hls.js's non-fatal network errors, dash.js's download errors)
// are recorded as events, not as faults of the media.
// Each player gives the probe selectAudioLanguage(tag), which switches it to
// the audio rendition of that language while it plays (false: none such).
// Shaka gives it thumbnailAt(seconds) too: the thumbnail it would show for
// that position (its tile's address and place in the tile, null for none),
// with the tile loaded as an image and its natural size.
// hls.js gives it showKeyPicture(time) and keyPictureShown(), the key
// picture of an I-frame playlist at that time in an element of its own;
// Shaka gives it trickPlay(rate) and cancelTrickPlay().
// options.eventAhead: the presentation is a live event that begins later;
// its HLS playlists list no segment until then, which neither player waits
// on by itself (below).
(() => {
  function describe(value) {
    if (value === undefined || value === null) return 'unknown';
    if (typeof value === 'string') return value;
    if (value instanceof Error) return value.message;
    try {
      return JSON.stringify(value).slice(0, 400);
    } catch (error) {
      return String(value);
    }
  }

  function play(probe) {
    probe.element.play().catch((error) => {
      // A play() cut short by the player's own reload is no fault of the media.
      if (error.name !== 'AbortError') probe.fail('play()', error.message);
    });
  }

  // The players' own first guesses (0.5 to 1 Mbit/s) would start every
  // presentation on its 1 picture/s row; on loopback the main row is the
  // honest start, and the players still switch down when segments come slowly.
  const StartBitsPerSecond = 50e6;

  // How often a live latency is sampled while playing: with hls.js, how far
  // behind the wall clock the shown picture is, by the program date-time
  // hls.js places it at; with dash.js and Shaka, their own figure.
  const LatencySampleMs = 500;

  // How long a page waits for a live event to begin (options.eventAhead).
  const EventWaitSeconds = 60;

  function startHls(probe, url, options) {
    const settings = { abrEwmaDefaultEstimate: StartBitsPerSecond };
    if (options.lowLatency !== undefined) settings.lowLatencyMode = options.lowLatency;
    if (options.liveDurationInfinity) settings.liveDurationInfinity = true;
    // hls.js reloads a live playlist without segments as a failed one: twice,
    // then on another level, then it gives up, seconds later. Waiting for an
    // event, it reloads every second for as long as the wait may be.
    if (options.eventAhead) {
      const retry = { maxNumRetry: EventWaitSeconds, retryDelayMs: 1000, maxRetryDelayMs: 1000 };
      settings.playlistLoadPolicy = { default: { maxTimeToFirstByteMs: 10000, maxLoadTimeMs: 20000, timeoutRetry: retry, errorRetry: retry } };
    }
    // hls.js makes a text track of CC1 and fills it with cues; shown, so that it keeps active cues.
    if (options.captions) Object.assign(settings, { enableCEA708Captions: true, renderTextTracksNatively: true, subtitleDisplay: true });
    // Up to this rate, hls.js plays faster to reach its target latency.
    if (options.catchUpRate) settings.maxLiveSyncPlaybackRate = options.catchUpRate;
    const hls = new Hls(settings);
    const latencies = [];
    let resynced = 0;
    const jumps = [];
    let lastJump = 0;
    const sampler = setInterval(() => {
      // options.maxLatency: while playing, a player left further behind the
      // live edge than this (a slow start) jumps to its live position, as a
      // page's "go live" does: at most three times, three seconds apart.
      const element = probe.element;
      const target = hls.liveSyncPosition;
      if (options.maxLatency && resynced < 3 && Date.now() - lastJump > 3000 && !element.paused && !element.seeking && hls.latency > options.maxLatency && target > element.currentTime + 1) {
        resynced++;
        lastJump = Date.now();
        jumps.push([element.currentTime, target]);
        element.currentTime = target;
      }
      const shown = hls.playingDate;
      if (shown && !probe.element.paused && probe.element.currentTime > 0) latencies.push((Date.now() - shown.getTime()) / 1000);
    }, LatencySampleMs);
    hls.on(Hls.Events.DESTROYING, () => clearInterval(sampler));
    const StallNotices = [Hls.ErrorDetails.BUFFER_STALLED_ERROR, Hls.ErrorDetails.BUFFER_NUDGE_ON_STALL];
    const pathwayOf = (url) => new URL(url, location.href).searchParams.get('pathway');
    const movedUnder = (frag) => {
      const level = hls.levels[frag.level];
      return Boolean(level && pathwayOf(frag.url) !== pathwayOf(level.url));
    };
    hls.on(Hls.Events.ERROR, (event, data) => {
      // hls.js cancelling its own request (say, to switch down a level) is no fault of the media.
      if (data.details === Hls.ErrorDetails.INTERNAL_ABORTED) return;
      // Its non-fatal notices that playback waits for data are stalls, which
      // the probe measures as figures: on a busy machine they say more about
      // the machine than about the media.
      if (!data.fatal && StallNotices.includes(data.details)) return;
      // An append refused for the buffer's state (an earlier append still
      // in progress) is a race inside hls.js, which it classes as such and
      // retries; seen once in low-latency live. Its fatal form still fails.
      if (!data.fatal && data.details === Hls.ErrorDetails.BUFFER_APPEND_ERROR && data.error && data.error.name === 'InvalidStateError') return;
      // Joining live, hls.js may begin at 0 and then jump to where its first
      // fragment's media begins: a placement, not a hole in the media. A jump
      // once anything has played still fails.
      if (!data.fatal && data.details === Hls.ErrorDetails.BUFFER_SEEK_OVER_HOLE && probe.element.played.length === 0) return;
      if (options.pathwayFaults && !data.fatal && data.type === Hls.ErrorTypes.NETWORK_ERROR) {
        probe.event('network error', { details: data.details, url: data.frag ? data.frag.url : data.url || null });
        return;
      }
      // The playlists of an event that has not begun yet, reloaded until it has.
      if (!data.fatal && data.details === Hls.ErrorDetails.LEVEL_EMPTY_ERROR && options.eventAhead) return;
      // Moving pathway, hls.js swaps its levels for the other pathway's under
      // a fragment still in flight, and may parse that fragment of the old
      // pathway as one of the new, finding no media in it (seen once in
      // thirty moves). It skips the fragment; whether playback goes on is for
      // the check to judge.
      if (!data.fatal && data.details === Hls.ErrorDetails.FRAG_PARSING_ERROR && data.frag && movedUnder(data.frag)) {
        probe.event('fragment parsed across a pathway move', { url: data.frag.url });
        return;
      }
      const reason = data.reason || (data.error && data.error.message) || '';
      probe.fail('hls.js', `${data.type} ${data.details}${data.fatal ? ' (fatal)' : ''}${reason ? ': ' + reason : ''}`);
    });
    hls.on(Hls.Events.MANIFEST_PARSED, () => {
      // options.topLevel: the row of the highest bandwidth only, whatever the estimate says.
      if (options.topLevel) hls.currentLevel = hls.levels.reduce((best, level, index) => (level.bitrate > hls.levels[best].bitrate ? index : best), 0);
      play(probe);
    });
    // The playing picture's wall-clock time, by the program date-time.
    if (options.subtitles) probe.clockOf = () => (hls.playingDate ? hls.playingDate.getTime() : null);
    if (options.events) recordInterstitials(probe, hls);
    showKeyPictures(probe, hls);
    probe.selectAudioLanguage = (tag) => {
      const index = hls.audioTracks.findIndex((track) => track.lang === tag);
      if (index >= 0) hls.audioTrack = index;
      return index >= 0;
    };
    hls.loadSource(url);
    hls.attachMedia(probe.element);
    probe.playerFigures = () => ({
      latency: hls.latency,
      targetLatency: hls.targetLatency,
      clockLatencies: latencies,
      resynced,
      jumps,
      partsLoaded: hls.levels && hls.currentLevel >= 0 && hls.levels[hls.currentLevel].details ? Boolean(hls.levels[hls.currentLevel].details.partList) : false,
    });
  }

  // hls.js shows the key pictures of the master playlist's I-frame streams
  // through a player of their own (createIFramePlayer) on an element of
  // their own, as a scrubbing preview does. showKeyPicture(time) has it
  // load and show the picture of that time (false: no I-frame streams);
  // keyPictureShown() says what its element shows. The I-frame player is
  // asked once its element is attached: asked before, hls.js 1.7 at times
  // loads nothing for that request.
  function showKeyPictures(probe, hls) {
    let viewer = null;
    let element = null;
    let attached = false;
    let wanted = null;
    probe.showKeyPicture = (time) => {
      if (!viewer) {
        viewer = hls.createIFramePlayer();
        if (!viewer) return false;
        element = document.createElement('video');
        element.muted = true;
        element.width = 320;
        element.height = 180;
        document.body.appendChild(element);
        viewer.on(Hls.Events.ERROR, (event, data) => probe.fail('hls.js I-frame player', `${data.type} ${data.details}${data.fatal ? ' (fatal)' : ''}`));
        viewer.once(Hls.Events.MEDIA_ATTACHED, () => {
          attached = true;
          if (wanted !== null) viewer.loadMediaAt(wanted);
        });
        viewer.attachMedia(element);
      }
      if (attached) viewer.loadMediaAt(time);
      else wanted = time;
      return true;
    };
    probe.keyPictureShown = () =>
      element && { position: element.currentTime, seeking: element.seeking, readyState: element.readyState, width: element.videoWidth, height: element.videoHeight };
  }

  // hls.js plays an interstitial's assets in players of their own on the
  // same element; the primary's own position says where the main content is.
  function recordInterstitials(probe, hls) {
    const names = ['INTERSTITIALS_UPDATED', 'INTERSTITIAL_STARTED', 'INTERSTITIAL_ASSET_STARTED', 'INTERSTITIAL_ASSET_ENDED', 'INTERSTITIAL_ASSET_ERROR', 'INTERSTITIAL_ENDED', 'INTERSTITIALS_PRIMARY_RESUMED'];
    for (const name of names) {
      hls.on(Hls.Events[name], (type, data) => {
        const manager = hls.interstitialsManager;
        probe.event(name, {
          id: data.event ? data.event.identifier : null,
          eventStart: data.event ? data.event.startTime : null,
          resumeOffset: data.event ? data.event.resumeOffset : null,
          asset: data.asset ? data.asset.uri : null,
          assets: data.events ? data.events.length : null,
          primary: manager ? manager.primary.currentTime : null,
          error: data.error ? data.error.message : null,
        });
      });
    }
    probe.primaryTime = () => (hls.interstitialsManager ? hls.interstitialsManager.primary.currentTime : probe.element.currentTime);
  }

  // With options.lowLatency the player's own live latency figure is taken
  // every LatencySampleMs, from when the position first moves.
  function sampleLatency(probe, read) {
    const samples = [];
    const timer = setInterval(() => {
      const latency = read();
      if (probe.element.currentTime > 0 && Number.isFinite(latency)) samples.push({ at: probe.now(), latency });
    }, LatencySampleMs);
    const stop = probe.stop.bind(probe);
    probe.stop = () => {
      clearInterval(timer);
      stop();
    };
    return samples;
  }

  async function startShaka(probe, url, options) {
    shaka.polyfill.installAll();
    const player = new shaka.Player();
    await player.attach(probe.element);
    player.configure({ abr: { defaultBandwidthEstimate: StartBitsPerSecond } });
    // Segments are read as they arrive; the manifest's service description
    // sets the latency to keep. Shaka puts its own low-latency defaults
    // (prefetch among them) over this once it sees a low-latency manifest.
    // Shaka keeps the service description's target from its own seek-range
    // end, which already lies suggestedPresentationDelay behind the newest
    // part; counting that delay twice would hold it 2 s further back than
    // the service asks, so the delay is left to the service description
    // (as dash.js does), and catching up starts within a quarter second of
    // the target rather than Shaka's default half second.
    if (options.lowLatency) {
      player.configure({
        streaming: { lowLatencyMode: true, liveSync: { targetLatencyTolerance: 0.25 } },
        manifest: { dash: { ignoreSuggestedPresentationDelay: true } },
      });
    }
    const latencies = options.lowLatency ? sampleLatency(probe, () => player.getStats().liveLatency) : null;
    // Without keys here the player takes its licence from the manifest.
    if (options.clearKeys) player.configure({ drm: { clearKeys: options.clearKeys } });
    // Shaka refuses a media playlist without segments (HLS_EMPTY_MEDIA_PLAYLIST),
    // as an HLS event's are until it begins: the page loads it again a
    // second later, until it has begun.
    let waitingForEvent = Boolean(options.eventAhead);
    const EmptyPlaylist = shaka.util.Error.Code.HLS_EMPTY_MEDIA_PLAYLIST;
    player.addEventListener('error', (event) => {
      const error = event.detail;
      if (waitingForEvent && error.code === EmptyPlaylist) return;
      probe.fail('Shaka', `code ${error.code}, category ${error.category}, severity ${error.severity}: ${describe(error.data)}`);
    });
    probe.playerFigures = () => ({ latencies });
    // Shaka plays the variants' trick-mode video (an HLS I-frame stream) at a rate other than 1.
    probe.trickPlay = (rate) => player.trickPlay(rate);
    probe.cancelTrickPlay = () => player.cancelTrickPlay();
    probe.selectAudioLanguage = (tag) => {
      const track = player.getAudioTracks().find((each) => each.language === tag && !each.roles.includes('description'));
      if (track) player.selectAudioTrack(track);
      return Boolean(track);
    };
    if (options.events) {
      const region = (event) => ({ scheme: event.detail.schemeIdUri, id: event.detail.id, start: event.detail.startTime, end: event.detail.endTime });
      player.addEventListener('timelineregionadded', (event) => probe.event('timelineregionadded', region(event)));
      player.addEventListener('timelineregionenter', (event) => probe.event('timelineregionenter', region(event)));
      player.addEventListener('emsg', (event) => probe.event('emsg', region(event)));
      player.addEventListener('metadataadded', (event) => probe.event('metadataadded', { scheme: event.detail.metadataType, start: event.detail.startTime, end: event.detail.endTime, id: event.detail.payload && event.detail.payload.key }));
    }
    // Shaka streams text only when it shows it, which it does from the start
    // for a preferred language; without a UI container it shows it in the
    // element's own text tracks.
    if (options.subtitles) {
      player.configure({ preferredText: [{ language: options.subtitles }] });
      probe.clockOf = () => (player.isLive() ? player.getPlayheadTimeAsDate().getTime() : null);
    }
    if (options.captions) player.configure({ preferredTextLanguage: 'en' });
    for (let attempt = 0; ; attempt++) {
      try {
        await player.load(url);
        waitingForEvent = false;
        break;
      } catch (error) {
        if (waitingForEvent && error.code === EmptyPlaylist && attempt < EventWaitSeconds) {
          await new Promise((resolve) => setTimeout(resolve, 1000));
          continue;
        }
        // A failed load was already reported through the error event.
        if (!probe.errors.length) probe.fail('Shaka', `load: code ${error.code}: ${describe(error.data)}`);
        return;
      }
    }
    probe.thumbnailAt = async (seconds) => {
      const thumbnail = await player.getThumbnails(null, seconds);
      if (!thumbnail) return null;
      const image = new Image();
      image.src = thumbnail.uris[0];
      const loaded = await image.decode().then(() => null, (error) => describe(error));
      return {
        uri: thumbnail.uris[0], startTime: thumbnail.startTime, duration: thumbnail.duration, positionX: thumbnail.positionX, positionY: thumbnail.positionY,
        width: thumbnail.width, height: thumbnail.height, imageWidth: image.naturalWidth, imageHeight: image.naturalHeight, loadError: loaded,
      };
    };
    if (options.captions) {
      // The closed-caption track the manifest names: selecting it shows it.
      const track = player.getTextTracks()[0];
      if (track) player.selectTextTrack(track);
      probe.textTracksOfPlayer = () => player.getTextTracks().map((each) => `${each.language} ${each.mimeType} ${each.originalTextId || ''}`);
    }
    play(probe);
  }

  function startDash(probe, url, options) {
    const player = dashjs.MediaPlayer().create();
    player.updateSettings({ streaming: { abr: { initialBitrate: { video: StartBitsPerSecond / 1000 } } } });
    // The manifest switches dash.js to low latency; catching up by playback
    // rate is asked for here. A latency check holds one representation:
    // an ABR switch in the middle of a segment being made may leave that
    // segment's remainder unfetched, a gap dash.js then jumps, which says
    // nothing about the latency.
    // The embedded CEA-608 track the manifest names, on from the start.
    if (options.captions) player.updateSettings({ streaming: { text: { defaultEnabled: true } } });
    if (options.lowLatency) player.updateSettings({ streaming: { liveCatchup: { enabled: true }, abr: { autoSwitchBitrate: { video: false, audio: false } } } });
    const latencies = options.lowLatency ? sampleLatency(probe, () => player.getCurrentLiveLatency()) : null;
    const periods = [];
    // dash.js's codes of a failed download: content, initialisation segment.
    const DownloadErrors = [27, 28];
    player.on(dashjs.MediaPlayer.events.ERROR, (event) => {
      if (options.pathwayFaults && event.error && DownloadErrors.includes(event.error.code)) {
        probe.event('download error', { code: event.error.code, message: event.error.message || null });
        return;
      }
      probe.fail('dash.js', describe(event.error));
    });
    player.on(dashjs.MediaPlayer.events.PLAYBACK_ERROR, (event) => probe.fail('dash.js playback', describe(event.error)));
    player.on(dashjs.MediaPlayer.events.PERIOD_SWITCH_COMPLETED, (event) => periods.push(event.toStreamInfo && event.toStreamInfo.id));
    // Each scheme twice: when the event arrives and when its time comes.
    for (const scheme of options.events || []) {
      for (const mode of [dashjs.MediaPlayer.events.EVENT_MODE_ON_RECEIVE, dashjs.MediaPlayer.events.EVENT_MODE_ON_START]) {
        player.on(scheme, (event) => probe.event(mode, { scheme: event.event.eventStream.schemeIdUri, id: event.event.id, start: event.event.calculatedPresentationTime ?? event.event.presentationTime, duration: event.event.duration }), null, { mode });
      }
    }
    if (options.subtitles) {
      player.updateSettings({ streaming: { text: { defaultEnabled: true } } });
      probe.clockOf = () => (player.isDynamic() ? player.timeAsUTC() * 1000 : null);
    }
    probe.selectAudioLanguage = (tag) => {
      const track = player.getTracksFor('audio').find((each) => each.lang === tag);
      if (track) player.setCurrentTrack(track);
      return Boolean(track);
    };
    player.initialize(probe.element, url, true);
    // dash.js renders IMSC1 itself, into this element; its cues carry the document.
    if (options.subtitles) player.attachTTMLRenderingDiv(document.getElementById('captions'));
    probe.playerFigures = () => ({ periods, latencies });
  }

  const starters = { 'hls.js': startHls, Shaka: startShaka, 'dash.js': startDash };

  window.startPlayer = (name, url, options = {}) => {
    const element = document.getElementById('video');
    element.muted = true;
    const probe = new PlaybackProbe(element);
    // options.subtitles: the player shows a text track and the probe records its cues.
    probe.recordText = Boolean(options.subtitles);
    try {
      const started = starters[name](probe, url, options);
      if (started && started.catch) started.catch((error) => probe.fail(name, describe(error)));
    } catch (error) {
      probe.fail(name, describe(error));
    }
  };
})();
