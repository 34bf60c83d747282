// The page's module against the native program, in Node.js: over random texts made as the
// decoder's tests make them (mostly twelve hex digits, with the odd stranger), the window's
// Calculate in WebAssembly gives what the native kavlo-ipfinder gives for the same text as a line;
// and Find, fed those texts in chunks as the page feeds a file (UTF-8, and UTF-16 with its mark),
// with an Encode of four million characters and a Calculate between chunks, finds what
// kavlo-ipfinder --extract finds.
//   node web_verdicts.js MODULE.wasm NATIVE-KAVLO-IPFINDER
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');

const [moduleFile, nativeProgram] = process.argv.slice(2);
const program = new WebAssembly.Instance(new WebAssembly.Module(fs.readFileSync(moduleFile)), {}).exports;

const bytesAt = (at, size) => new Uint8Array(program.memory.buffer, at, size);
function calculate(text) {
  const units = new Uint16Array(program.memory.buffer, program.calculateInput(), program.calculateRoom());
  for (let i = 0; i < Math.min(text.length, units.length); ++i) units[i] = text.charCodeAt(i);
  const length = Math.abs(program.calculate(text.length));
  return String.fromCharCode(...new Uint16Array(program.memory.buffer, program.calculateOutput(), length));
}
function encode(text) {
  const bytes = Buffer.from(text);
  const short = program.encodeInput() + bytes.length - program.memory.buffer.byteLength;
  if (short > 0) program.memory.grow(Math.ceil(short / 65536));
  bytesAt(program.encodeInput(), bytes.length).set(bytes);
  return Buffer.from(bytesAt(program.encodeOutput(), Math.abs(program.encode(bytes.length)))).toString();
}
function find(bytes, chunk) {
  program.findStart(true);
  let found = '';
  const take = () => { for (let n; (n = program.findNext()) > 0;) found += Buffer.from(bytesAt(program.findOutput(), n)).toString(); };
  for (let at = 0; at < bytes.length; at += chunk) {
    const piece = bytes.subarray(at, at + chunk);
    bytesAt(program.findInput(), piece.length).set(piece);
    program.findFeed(piece.length, false);
    // Now and then, between a chunk fed and its finding (each Encode of this size takes a while).
    if (at / chunk % 1000 === 1 && (encode(`1.2.3.4:${'5'.repeat(4000000)}`) !== 'the port is more than 65535' ||
                                    calculate('0100A8C01F90') !== '192.168.0.1:8080')) {
      return 'Encode or Calculate between chunks';
    }
    take();
  }
  program.findFeed(0, true);
  take();
  return found;
}

// The generator of the decoder's random sweep, with what a line cannot hold (line ends, the blanks
// the reader trims, lone surrogates, a byte-order mark) made a plain letter; now and then a
// character above U+FFFF, two units.
let seed = 20261210;
const next = (below) => { seed = (seed * 1103515245 + 12345) % 2147483648; return seed % below; };
const hexDigits = '0123456789ABCDEFabcdef';
const texts = [];
for (let sample = 0; sample < 200000; ++sample) {
  const size = next(100) < 70 ? 12 : 1 + next(14);
  let text = '';
  while (text.length < size) {
    const kind = next(100);
    let unit = kind < 97 ? hexDigits.charCodeAt(next(hexDigits.length)) : kind < 99 ? next(0x80) : next(0x10000);
    if ([0x09, 0x0A, 0x0D, 0x20, 0xFEFF].includes(unit) || (unit >= 0xD800 && unit <= 0xDFFF)) unit = 0x67;  // 'g'
    text += next(500) === 0 ? '\u{1F600}' : String.fromCharCode(unit);
  }
  texts.push(text);
}
// Exit status 1: some texts are not hashes.
const run = spawnSync(nativeProgram, ['--tsv'], { input: texts.join('\n') + '\n', maxBuffer: 1 << 28 });
const lines = run.stdout.toString().split('\n').slice(0, -1);
let addresses = 0;
const differences = [];
texts.forEach((text, i) => {
  const ours = calculate(text);
  const native = lines[i].slice(lines[i].lastIndexOf('\t') + 1);
  if (ours !== native && differences.length < 5) differences.push(`${JSON.stringify(text)}: ${ours}, native ${native}`);
  if (!ours.startsWith('Please')) ++addresses;
});
console.log(`${texts.length} random texts, ${addresses} of them addresses: ` +
            (differences.length ? `the module differs from the native program:\n${differences.join('\n')}` : 'the same verdicts'));
const log = texts.slice(0, 20000).join(' ');
let findings = 0;
for (const bytes of [Buffer.from(log), Buffer.from('\ufeff' + log, 'utf16le')]) {
  const found = find(bytes, 4099);
  const expected = spawnSync(nativeProgram, ['--extract', '--tsv'], { input: bytes, maxBuffer: 1 << 28 }).stdout.toString();
  if (found !== expected) differences.push(`Find: ${found.slice(0, 200)}... (${found.length} bytes), not ${expected.length} bytes`);
  findings += found.split('\n').length - 1;
}
console.log(`Find: ${findings} hashes found, in chunks, ` + (differences.length ? differences.join('\n') : 'as --extract finds them'));
process.exit(differences.length || run.status !== 1 || lines.length !== texts.length || addresses < texts.length / 4 ||
             findings < 5000 ? 1 : 0);
