// The page's module against the native program, in Node.js: over random texts made as the
// decoder's tests make them (mostly twelve hex digits, with the odd stranger), the window's
// Calculate in WebAssembly gives what the native kavlo-ipfinder gives for the same text as a line.
//   node web_verdicts.js MODULE.wasm NATIVE-KAVLO-IPFINDER
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');

const [moduleFile, nativeProgram] = process.argv.slice(2);
const program = new WebAssembly.Instance(new WebAssembly.Module(fs.readFileSync(moduleFile)), {}).exports;

function calculate(text) {
  const units = new Uint16Array(program.memory.buffer, program.input(), text.length);
  for (let i = 0; i < text.length; ++i) units[i] = text.charCodeAt(i);
  return String.fromCharCode(...new Uint16Array(program.memory.buffer, program.output(), program.calculate(text.length)));
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
process.exit(differences.length || run.status !== 1 || lines.length !== texts.length || addresses < texts.length / 4 ? 1 : 0);
