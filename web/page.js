'use strict';
// Moves text into the program's own code, compiled to WebAssembly, and its answers out: no rule
// of the program is written here. The module, base64, is put in by the build.
const moduleBytes = Uint8Array.from(atob('@MODULE@'), (c) => c.charCodeAt(0));
const $ = (id) => document.getElementById(id);
const encoder = new TextEncoder();
const decoder = new TextDecoder();
let program;

// Room at the module's input for `bytes`, growing its memory as a paste needs.
function inputRoom(bytes) {
  const memory = program.memory;
  const short = program.input() + bytes - memory.buffer.byteLength;
  if (short > 0) memory.grow(Math.ceil(short / 65536));
  return program.input();
}
// UTF-8 for the module's readers of bytes (the encoder and the finder): how many bytes.
function putUtf8(text) {
  const at = inputRoom(text.length * 3);
  return encoder.encodeInto(text, new Uint8Array(program.memory.buffer, at, text.length * 3)).written;
}
const outputText = (bytes) => decoder.decode(new Uint8Array(program.memory.buffer, program.output(), bytes));

// The Calculate button: the field's UTF-16 units, as the window has them.
$('IPFinder').addEventListener('submit', (event) => {
  event.preventDefault();
  const text = $('txtHash').value;
  const units = new Uint16Array(program.memory.buffer, inputRoom(text.length * 2), text.length);
  for (let i = 0; i < text.length; ++i) units[i] = text.charCodeAt(i);
  const length = program.calculate(text.length);
  $('txtIPPort').value = String.fromCharCode(...new Uint16Array(program.memory.buffer, program.output(), length));
});

$('encode').addEventListener('submit', (event) => {
  event.preventDefault();
  $('hash').value = outputText(program.encode(putUtf8($('address').value)));
});

// Find in text: the finder's answers, a line each ("hash<TAB>address:port"), come in blocks of
// bytes, kept as they are for Copy all; the first lines are shown, and the module counts them all.
// Between blocks the page takes a turn, so that it stays responsive however long the text.
const shown = 200;
let found = [];
const turn = new MessageChannel();
$('find').addEventListener('submit', (event) => {
  event.preventDefault();
  found = [];
  const first = [];
  $('copyAll').disabled = true;
  $('findButton').disabled = true;
  const started = performance.now();
  program.findStart(putUtf8($('text').value));
  const more = () => {
    const until = performance.now() + 20;
    let bytes = 1;
    while (performance.now() < until && (bytes = program.findNext()) > 0) {
      found.push(new Uint8Array(program.memory.buffer, program.output(), bytes).slice());
      if (first.length < shown) first.push(...outputText(bytes).split('\n', shown - first.length));
    }
    $('found').replaceChildren(...first.filter(Boolean).map((line) => {
      const [hash, address] = line.split('\t');
      return Object.assign(document.createElement('li'), { textContent: `${hash} \u2192 ${address}` });
    }));
    const count = program.findCount();
    $('count').textContent = `${count} ${count === 1 ? 'hash' : 'hashes'} found` +
      (count > shown ? `; the first ${shown} are shown, and Copy all copies them all` : '') + (bytes ? '\u2026' : '');
    if (bytes) return turn.port2.postMessage(null);
    $('findButton').disabled = false;
    $('copyAll').disabled = count === 0;
    document.documentElement.dataset.found = String(performance.now() - started);
  };
  turn.port1.onmessage = more;
  more();
});
$('copyAll').addEventListener('click', () => navigator.clipboard.writeText(found.map((block) => decoder.decode(block)).join('')));

WebAssembly.instantiate(moduleBytes).then(({ instance }) => {
  program = instance.exports;
  $('txtHash').maxLength = program.hashLength();
  for (const button of ['cmdCalculate', 'findButton', 'encodeButton']) $(button).disabled = false;
  document.documentElement.dataset.ready = String(performance.now());
});
