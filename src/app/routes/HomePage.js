// SPDX-License-Identifier: GPL-2.0-or-later
// The home page: a form drawn from options.json, the manifest addresses it
// makes, players from the server's own player folder, and a plot of the
// requests the server recorded for the asset being played (session).
(() => {
  'use strict';
  // The keys that name things after the manifest are not options to choose.
  const HiddenGroups = new Set(['addressing']);
  const Manifests = { hls: 'master.m3u8', dash: 'manifest.mpd' };
  const PlayerScripts = { 'hls.js': 'player/hls.min.js', 'dash.js': 'player/dash.all.min.js', Shaka: 'player/shaka-player.compiled.js' };
  const ChartScript = 'player/uPlot.iife.min.js';
  const ChartStyle = 'player/uPlot.min.css';
  const SessionPollMs = 1000;
  // Records kept on the page (the server keeps more); the table shows the last few.
  const KeptRecords = 3000;
  const TableRows = 12;
  const PlotHeight = 220;
  const installed = document.body.dataset.players === 'installed';
  const element = (id) => document.getElementById(id);
  const video = element('video');

  const state = { options: [], player: null, asset: null, next: 0, records: [], poll: null, observer: null, plots: [], plottedSeqs: [], generation: 0 };

  // Query values keep the characters a query may hold as they are, for addresses people can read.
  function encodeValue(value) {
    return encodeURIComponent(value).replace(/%(40|3A|2C|2F)/gi, (match) => decodeURIComponent(match));
  }

  function optionInput(option) {
    const id = `option-${option.name}`;
    let input;
    if (option.kind === 'flag') {
      input = document.createElement('input');
      input.type = 'checkbox';
    } else if (option.kind === 'choice') {
      input = document.createElement('select');
      input.add(new Option(option.default ? `default (${option.default})` : 'default', ''));
      for (const choice of option.choices) input.add(new Option(choice, choice));
    } else {
      input = document.createElement('input');
      if (option.kind === 'integer' || option.kind === 'time') {
        input.type = 'number';
        input.step = option.kind === 'integer' ? '1' : 'any';
        if (option.minimum !== null && option.minimum !== undefined) input.min = option.minimum;
        if (option.maximum !== null && option.maximum !== undefined) input.max = option.maximum;
        input.inputMode = option.kind === 'integer' ? 'numeric' : 'decimal';
      } else {
        input.type = 'text';
        input.spellcheck = false;
        input.autocomplete = 'off';
        if (option.kind === 'hex') {
          input.pattern = '[0-9A-Fa-f]{32}';
          input.maxLength = 32;
        }
      }
      input.placeholder = option.example || option.default || '';
    }
    input.id = id;
    input.name = option.name;
    input.dataset.kind = option.kind;
    input.addEventListener(input.type === 'checkbox' || input.tagName === 'SELECT' ? 'change' : 'input', updateAddresses);
    return input;
  }

  function helpText(option) {
    const parts = [option.help];
    if (option.default) parts.push(`default: ${option.default}`);
    if (option.example) parts.push(`e.g. ${option.example}`);
    if (option.alias) parts.push(`also "${option.alias}"`);
    if (option.routes && option.routes.length) parts.push(`for ${option.routes.join(', ')}`);
    return parts.filter(Boolean).join('; ');
  }

  function drawForm(table) {
    const form = element('options');
    state.options = [];
    for (const group of table.groups) {
      if (HiddenGroups.has(group.id)) continue;
      const options = table.options.filter((option) => option.group === group.id);
      if (!options.length) continue;
      const fieldset = document.createElement('fieldset');
      fieldset.id = `group-${group.id}`;
      const legend = document.createElement('legend');
      legend.textContent = group.title;
      fieldset.append(legend);
      for (const option of options) {
        const row = document.createElement('div');
        row.className = `option ${option.kind === 'flag' ? 'flag' : ''}`;
        const input = optionInput(option);
        const label = document.createElement('label');
        label.htmlFor = input.id;
        label.textContent = option.name;
        const help = document.createElement('span');
        help.className = 'help';
        help.id = `${input.id}-help`;
        help.textContent = helpText(option);
        input.setAttribute('aria-describedby', help.id);
        if (option.kind === 'flag') row.append(input, ' ', label, help);
        else row.append(label, input, help);
        fieldset.append(row);
        state.options.push({ option, input });
      }
      form.append(fieldset);
    }
  }

  // The query of one manifest: the chosen options that route takes, in the table's order.
  function queryFor(route) {
    const pairs = [];
    for (const { option, input } of state.options) {
      if (option.routes && option.routes.length && !option.routes.includes(route)) continue;
      if (option.kind === 'flag') {
        if (input.checked) pairs.push(option.name);
        continue;
      }
      const value = input.value.trim();
      // A choice only another route takes: this route keeps its default.
      const only = option.choiceRoutes && option.choiceRoutes[value];
      if (only && only !== route) continue;
      if (value !== '') pairs.push(`${option.name}=${encodeValue(value)}`);
    }
    return pairs.length ? `?${pairs.join('&')}` : '';
  }

  function addressOf(format) {
    const route = Manifests[format];
    return new URL(route + queryFor(route), document.baseURI).href;
  }

  function updateAddresses() {
    element('master-url').value = addressOf('hls');
    element('manifest-url').value = addressOf('dash');
  }

  async function loadOptions() {
    try {
      const answer = await fetch('options.json', { cache: 'no-cache' });
      if (!answer.ok) throw new Error(`HTTP ${answer.status}`);
      drawForm(await answer.json());
      element('options-status').textContent = '';
    } catch (error) {
      element('options-status').textContent = `The options could not be read (${error.message}): the addresses take none.`;
    }
    updateAddresses();
  }

  async function copyAddress(button) {
    const input = element(button.dataset.copy);
    try {
      await navigator.clipboard.writeText(input.value);
    } catch (error) {
      // Without the clipboard interface (a page not served securely), the selection is copied.
      input.select();
      if (!document.execCommand('copy')) {
        element('copy-status').textContent = 'Copying is not allowed here: the address is selected.';
        return;
      }
    }
    element('copy-status').textContent = `Copied ${input.value}`;
  }

  const loading = new Map();
  function loadScript(source) {
    if (!loading.has(source)) {
      loading.set(source, new Promise((resolve, reject) => {
        const script = document.createElement('script');
        script.src = source;
        script.onload = resolve;
        script.onerror = () => reject(new Error(`${source} did not load`));
        document.head.append(script);
      }));
    }
    return loading.get(source);
  }

  function loadChart() {
    if (!document.querySelector(`link[href="${ChartStyle}"]`)) {
      const link = document.createElement('link');
      link.rel = 'stylesheet';
      link.href = ChartStyle;
      document.head.append(link);
    }
    return loadScript(ChartScript);
  }

  function say(text) {
    element('play-status').textContent = text;
  }

  // Each player with Common Media Client Data in the query (no preflight
  // request across origins, and read the same way by the server).
  const Players = {
    'hls.js': (url, fail) => {
      const hls = new Hls({ cmcd: { useHeaders: false } });
      hls.on(Hls.Events.ERROR, (event, data) => {
        if (data.fatal) fail(`hls.js: ${data.type} ${data.details}`);
      });
      hls.on(Hls.Events.MANIFEST_PARSED, () => video.play().catch(() => {}));
      hls.loadSource(url);
      hls.attachMedia(video);
      return () => hls.destroy();
    },
    'dash.js': (url, fail) => {
      const player = dashjs.MediaPlayer().create();
      player.updateSettings({ streaming: { cmcd: { enabled: true, mode: 'query' } } });
      player.on(dashjs.MediaPlayer.events.ERROR, (event) => fail(`dash.js: ${event.error && event.error.message ? event.error.message : 'error'}`));
      player.initialize(video, url, true);
      return () => player.destroy();
    },
    Shaka: (url, fail) => {
      shaka.polyfill.installAll();
      const player = new shaka.Player();
      player.configure({ cmcd: { enabled: true, useHeaders: false } });
      player.addEventListener('error', (event) => fail(`Shaka: error ${event.detail.code}`));
      player
        .attach(video)
        .then(() => player.load(url))
        .then(() => video.play().catch(() => {}))
        .catch((error) => fail(`Shaka: error ${error.code || error.message}`));
      return () => player.destroy();
    },
  };

  function stop() {
    state.generation++;
    if (state.player) state.player();
    state.player = null;
    if (state.observer) state.observer.disconnect();
    state.observer = null;
    clearInterval(state.poll);
    state.poll = null;
    video.removeAttribute('src');
    video.load();
    element('stop').disabled = true;
  }

  // The asset is the one the player's first request after the manifest
  // names: every address the manifest gives carries "asset".
  function watchForAsset(generation, since) {
    const base = new URL('.', document.baseURI).href;
    const observer = new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) {
        if (state.asset !== null || generation !== state.generation || entry.startTime < since || !entry.name.startsWith(base)) continue;
        const asset = new URL(entry.name).searchParams.get('asset');
        if (asset && /^\d+$/.test(asset)) {
          observer.disconnect();
          followSession(Number(asset), generation);
        }
      }
    });
    observer.observe({ type: 'resource' });
    state.observer = observer;
  }

  async function play(button) {
    stop();
    const generation = state.generation;
    const name = button.dataset.player;
    const format = button.dataset.format;
    const url = addressOf(format);
    state.asset = null;
    state.next = 0;
    state.records = [];
    drawSession();
    say(`Loading ${name}…`);
    try {
      await Promise.all([loadScript(PlayerScripts[name]), loadChart()]);
    } catch (error) {
      say(error.message);
      return;
    }
    if (generation !== state.generation) return;
    watchForAsset(generation, performance.now());
    element('stop').disabled = false;
    say(`${name} plays ${url}`);
    state.player = Players[name](url, (text) => {
      if (generation === state.generation) say(text);
    });
  }

  function followSession(asset, generation) {
    state.asset = asset;
    element('session-status').textContent = `Asset ${asset}`;
    const poll = async () => {
      try {
        const answer = await fetch(`session?asset=${asset}&from=${state.next}`, { cache: 'no-store' });
        if (!answer.ok) throw Object.assign(new Error(`HTTP ${answer.status}: ${(await answer.text()).split('\n')[0]}`), { refused: answer.status < 500 });
        const page = await answer.json();
        if (generation !== state.generation) return;
        state.records.push(...page.requests);
        if (state.records.length > KeptRecords) state.records.splice(0, state.records.length - KeptRecords);
        state.next = page.next;
        element('session-status').textContent = `Asset ${asset}: ${page.next} requests${page.dropped ? `, ${page.dropped} no longer kept` : ''}`;
        drawSession();
      } catch (error) {
        if (generation !== state.generation) return;
        element('session-status').textContent = `Asset ${asset}: the requests could not be read (${error.message})`;
        // A refusal does not change by asking again; a network failure may.
        if (error.refused) clearInterval(state.poll);
      }
    };
    poll();
    state.poll = setInterval(poll, SessionPollMs);
  }

  const number = (value) => (value === null || value === undefined ? null : value);
  const crossMarks = { show: true, size: 9, fill: '#b3261e', stroke: '#b3261e' };

  function makePlots() {
    if (state.plots.length || typeof uPlot === 'undefined') return;
    const width = Math.max(260, element('plot-rate').clientWidth);
    const points = (color) => ({ show: true, size: 5, stroke: color, fill: color });
    const marksOnly = { paths: () => null, points: crossMarks };
    state.plots = [
      new uPlot(
        {
          width,
          height: PlotHeight,
          scales: { x: { time: true }, kbps: { auto: true }, segment: { auto: true } },
          axes: [{}, { scale: 'kbps', label: 'kbit/s' }, { scale: 'segment', side: 1, label: 'segment', grid: { show: false } }],
          series: [
            {},
            { label: 'video bitrate (kbit/s)', scale: 'kbps', stroke: '#0b57a4', width: 2, spanGaps: true, points: points('#0b57a4') },
            { label: 'video segment', scale: 'segment', stroke: '#2e7d32', spanGaps: true, points: points('#2e7d32') },
            { label: 'audio segment', scale: 'segment', stroke: '#8e5ea2', spanGaps: true, points: points('#8e5ea2') },
            { label: 'fault', scale: 'segment', stroke: '#b3261e', ...marksOnly },
          ],
        },
        [[], [], [], [], []],
        element('plot-rate'),
      ),
      new uPlot(
        {
          width,
          height: PlotHeight,
          scales: { x: { time: true }, s: { auto: true }, ms: { auto: true } },
          axes: [{}, { scale: 's', label: 'buffer (s)' }, { scale: 'ms', side: 1, label: 'served in (ms)', grid: { show: false } }],
          series: [
            {},
            { label: 'buffer (s)', scale: 's', stroke: '#0b57a4', width: 2, spanGaps: true, points: points('#0b57a4') },
            { label: 'served in (ms)', scale: 'ms', stroke: '#a15c00', paths: () => null, points: points('#a15c00') },
            { label: 'fault', scale: 'ms', stroke: '#b3261e', ...marksOnly },
          ],
        },
        [[], [], [], []],
        element('plot-timing'),
      ),
    ];
    window.addEventListener('resize', () => {
      const resized = Math.max(260, element('plot-rate').clientWidth);
      for (const plot of state.plots) plot.setSize({ width: resized, height: PlotHeight });
    });
  }

  function drawSession() {
    const records = [...state.records].sort((a, b) => a.time - b.time || a.seq - b.seq);
    makePlots();
    if (state.plots.length) {
      const times = records.map((record) => record.time / 1000);
      const cmcd = (record, key) => (record.cmcd ? number(record.cmcd[key]) : null);
      const isVideo = (record) => record.track === 'video' || (record.cmcd && record.cmcd.ot === 'v');
      const faultAt = (record, value) => (record.fault ? number(value) ?? 0 : null);
      state.plots[0].setData([
        times,
        records.map((record) => (isVideo(record) ? cmcd(record, 'br') : null)),
        records.map((record) => (record.track === 'video' ? number(record.segment) : null)),
        records.map((record) => (record.track === 'audio' ? number(record.segment) : null)),
        records.map((record) => faultAt(record, record.segment)),
      ]);
      state.plots[1].setData([
        times,
        records.map((record) => {
          const buffer = cmcd(record, 'bl');
          return buffer === null ? null : buffer / 1000;
        }),
        records.map((record) => number(record.ttlb)),
        records.map((record) => faultAt(record, record.ttlb)),
      ]);
    }
    state.plottedSeqs = records.map((record) => record.seq);
    drawTable(records.slice(-TableRows).reverse());
  }

  function drawTable(records) {
    const body = element('requests').tBodies[0];
    body.replaceChildren();
    for (const record of records) {
      const row = body.insertRow();
      const cells = [
        record.seq,
        new Date(record.time).toISOString().slice(11, 23),
        record.route,
        record.segment ?? '',
        record.status,
        record.bytes,
        record.ttlb === null ? '' : record.ttlb.toFixed(1),
        record.cache ?? '',
        record.fault ?? '',
        record.cmcd && record.cmcd.bl !== undefined ? record.cmcd.bl : '',
        record.cmcd && record.cmcd.br !== undefined ? record.cmcd.br : '',
      ];
      cells.forEach((value, index) => {
        const cell = row.insertCell();
        cell.textContent = String(value);
        if (index === 8 && value) cell.className = 'fault';
      });
    }
  }

  // What the checks read: the asset followed and the records the plot shows.
  window.QuorvelHome = {
    get asset() {
      return state.asset;
    },
    get plottedSeqs() {
      return [...state.plottedSeqs];
    },
    get plottedBuffer() {
      return state.plots.length ? state.plots[1].data[1].filter((value) => value !== null).length : 0;
    },
  };

  if (!installed) {
    element('players-missing').hidden = false;
    for (const button of document.querySelectorAll('button.play')) button.disabled = true;
  }
  for (const button of document.querySelectorAll('button[data-copy]')) button.addEventListener('click', () => copyAddress(button));
  for (const button of document.querySelectorAll('button.play')) button.addEventListener('click', () => play(button));
  element('stop').addEventListener('click', () => {
    stop();
    say('Stopped');
  });
  element('options').addEventListener('submit', (event) => event.preventDefault());
  loadOptions();
})();
