// SPDX-License-Identifier: GPL-2.0-or-later
// Parses one playlist or manifest with the independent npm parsers the test
// suite uses (installed in web/) and prints what they made of it as JSON:
//   node manifest_parsers.mjs m3u8|mpd <file> [<manifest URL>]
// "warnings" holds every warning the parser (or the XML reader under it)
// reported, "error" the message of a parse that failed.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const require = createRequire(fileURLToPath(new URL('../web/package.json', import.meta.url)));
const [kind, file, manifestUri = 'http://localhost/hls/manifest.mpd'] = process.argv.slice(2);
const text = readFileSync(file, 'utf8');
const warnings = [];
const result = { warnings };

function parseM3u8() {
  const { Parser } = require('m3u8-parser');
  const parser = new Parser();
  parser.on('warn', (event) => warnings.push(event.message));
  parser.push(text);
  parser.end();
  return parser.manifest;
}

function parseMpd() {
  const { parse } = require('mpd-parser');
  // The XML reader reports through the console.
  console.warn = (...parts) => warnings.push(parts.join(' '));
  console.error = (...parts) => warnings.push(parts.join(' '));
  return parse(text, { manifestUri });
}

try {
  result.manifest = kind === 'm3u8' ? parseM3u8() : parseMpd();
} catch (error) {
  result.error = String(error && error.message ? error.message : error);
}
process.stdout.write(JSON.stringify(result));
