// SPDX-License-Identifier: GPL-2.0-or-later
// Parses one DASH manifest with mpd-parser (installed in web/) and prints
// what it made of it as JSON (playlists are playlist_readers.mjs's):
//   node manifest_parsers.mjs mpd <file> [<manifest URL> [<clock, ms since 1970>]]
// "warnings" holds every warning the parser (or the XML reader under it)
// reported, "error" the message of a parse that failed.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const [, file, manifestUri = 'http://localhost/hls/manifest.mpd', clock] = process.argv.slice(2);
const text = readFileSync(file, 'utf8');
const warnings = [];
const result = { warnings };

// The XML reader reports through the console.
console.warn = (...parts) => warnings.push(parts.join(' '));
console.error = (...parts) => warnings.push(parts.join(' '));
try {
  // A dynamic document's segments are those of the parser's clock.
  const options = clock === undefined ? { manifestUri } : { manifestUri, NOW: Number(clock) };
  result.manifest = require('mpd-parser').parse(text, options);
} catch (error) {
  result.error = String(error && error.message ? error.message : error);
}
process.stdout.write(JSON.stringify(result));
