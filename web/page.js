'use strict';
// Moves text into the program's own code, compiled to WebAssembly, and its answers out: no rule
// of the program is written here. The module, base64, is put in by the build. The same script is
// the page's and, made a worker from its own text, the finder's, which reads a paste or a file of
// any size in chunks away from the page's thread.
const moduleBytes = Uint8Array.from(atob('@MODULE@'), (c) => c.charCodeAt(0));
const encoder = new TextEncoder();
const decoder = new TextDecoder();
// Reported to the page this often, so that it shows progress without being kept busy.
const reportEvery = 50;

if (typeof document === 'undefined') {
  // The worker: finds in a pasted text or a File, a chunk at a time, in a module of its own.
  const made = WebAssembly.instantiate(moduleBytes).then(({ instance }) => instance.exports);
  onmessage = async ({ data: { text, file } }) => {
    const program = await made;
    let blocks = [];
    let read = 0;
    let reported = performance.now();
    const report = (end) => {
      postMessage({ blocks, read, count: program.findCount(), memory: program.memory.buffer.byteLength, ...end },
                  blocks.map((block) => block.buffer));
      blocks = [];
      reported = performance.now();
    };
    const take = () => {
      for (let bytes; (bytes = program.findNext()) > 0;) {
        blocks.push(new Uint8Array(program.memory.buffer, program.findOutput(), bytes).slice());
      }
    };
    const room = () => new Uint8Array(program.memory.buffer, program.findInput(), program.findRoom());
    const feed = (bytes, size) => {
      program.findFeed(bytes, false);
      take();
      read += size;
      if (performance.now() - reported > reportEvery) report({});
    };
    try {
      program.findStart(Boolean(file));
      if (file) {
        // A file is read where it lies, a chunk at a time.
        const reader = file.stream().getReader();
        for (let chunk; !(chunk = await reader.read()).done;) {
          for (let at = 0; at < chunk.value.length; at += program.findRoom()) {
            const piece = chunk.value.subarray(at, at + program.findRoom());
            room().set(piece);
            feed(piece.length, piece.length);
          }
        }
      } else {
        // A paste is made UTF-8 straight into the module, in pieces that fit (three bytes a unit at
        // the most), never between the two units of a pair; encodeInto on what is left of a long
        // text instead would copy all of it each time.
        for (let at = 0, end; at < text.length; at = end) {
          end = Math.min(text.length, at + Math.floor(program.findRoom() / 3));
          if (end < text.length && /[\ud800-\udbff]/.test(text[end - 1])) --end;
          feed(encoder.encodeInto(text.substring(at, end), room()).written, end - at);
        }
      }
      program.findFeed(0, true);
      take();
      report({ done: true, flaw: decoder.decode(new Uint8Array(program.memory.buffer, program.findOutput(), program.findFlaw())) });
    } catch (error) {
      report({ done: true, failure: error.message });
    }
  };
} else {
  const $ = (id) => document.getElementById(id);
  let program;

  // Says `text` to a screen reader once, through the status region `id`, even where it is what
  // it said last.
  const say = (id, text) => $(id).replaceChildren(text);
  // Shows an answer in `output`, said, with its field marked invalid while the answer is a message.
  // The module gives a message's length negated.
  const show = (field, output, status, length, text) => {
    $(output).value = text;
    $(field).setAttribute('aria-invalid', String(length < 0));
    say(status, text);
  };

  // The Calculate button: the field's UTF-16 units, as the window has them.
  $('IPFinder').addEventListener('submit', (event) => {
    event.preventDefault();
    const text = $('txtHash').value;
    const units = new Uint16Array(program.memory.buffer, program.calculateInput(), program.calculateRoom());
    for (let i = 0; i < Math.min(text.length, units.length); ++i) units[i] = text.charCodeAt(i);
    const length = program.calculate(text.length);
    show('txtHash', 'txtIPPort', 'calculated', length,
         String.fromCharCode(...new Uint16Array(program.memory.buffer, program.calculateOutput(), Math.abs(length))));
  });

  // Encode: the address in UTF-8 at the module's heap, which grows as the text needs.
  $('encode').addEventListener('submit', (event) => {
    event.preventDefault();
    const text = $('address').value;
    const short = program.encodeInput() + text.length * 3 - program.memory.buffer.byteLength;
    if (short > 0) program.memory.grow(Math.ceil(short / 65536));
    const { written } = encoder.encodeInto(text, new Uint8Array(program.memory.buffer, program.encodeInput(), text.length * 3));
    const length = program.encode(written);
    show('address', 'hash', 'encoded', length,
         decoder.decode(new Uint8Array(program.memory.buffer, program.encodeOutput(), Math.abs(length))));
  });

  // Find in text: the worker's answers, a line each ("hash<TAB>address:port"), come in blocks of
  // bytes, kept as they are for Copy all. The first lines are listed as they come, the count is
  // said at the end.
  const shown = 200;
  let found = [];
  let finder;
  const finding = (busy) => {
    for (const id of ['findButton', 'openFile']) $(id).disabled = busy;
    $('copyAll').disabled = busy || found.length === 0;
    $('progress').hidden = !busy;
  };
  const find = (what, size) => {
    if (!$('findButton').disabled) {
      found = [];
      $('found').replaceChildren();
      say('count', '');
      say('copied', '');
      $('bar').max = size;
      $('bar').value = 0;
      $('sofar').textContent = '';
      finding(true);
      delete document.documentElement.dataset.found;
      finder.postMessage(what);
    }
  };
  const hashes = (count) => `${count} ${count === 1 ? 'hash' : 'hashes'} found`;
  let since;
  let foundCount = 0;
  const answers = ({ data: { blocks, read, count, memory, done, flaw, failure } }) => {
    for (const block of blocks) {
      found.push(block);
      const more = shown - $('found').childElementCount;
      if (more > 0) {
        $('found').append(...decoder.decode(block).split('\n', more).filter(Boolean).map((line) => {
          const [hash, address] = line.split('\t');
          return Object.assign(document.createElement('li'), { textContent: `${hash} \u2192 ${address}` });
        }));
      }
    }
    foundCount = count;
    $('bar').value = read;
    $('sofar').textContent = `${hashes(count)} so far\u2026`;
    if (!done) return;
    say('count', failure ? `The text could not be read: ${failure}` : hashes(count) +
        (count > shown ? `; the first ${shown} are shown, and Copy all copies them all` : '') + (flaw ? `; ${flaw}` : ''));
    finding(false);
    Object.assign(document.documentElement.dataset, { found: String(performance.now() - since), memory: String(memory) });
  };
  $('find').addEventListener('submit', (event) => {
    event.preventDefault();
    since = performance.now();
    const text = $('text').value;  // a copy of what may be megabytes, taken once
    find({ text }, text.length);
  });
  // A file opened, or dropped anywhere on the page, is read from where it lies, never pasted.
  $('openFile').addEventListener('click', () => $('file').click());
  const findIn = (file) => {
    if (!file) return;
    since = performance.now();
    find({ file }, file.size);
  };
  $('file').addEventListener('change', () => {
    findIn($('file').files[0]);
    $('file').value = '';
  });
  document.addEventListener('dragover', (event) => {
    if (event.dataTransfer.types.includes('Files')) event.preventDefault();
  });
  document.addEventListener('drop', (event) => {
    if (!event.dataTransfer.types.includes('Files')) return;
    event.preventDefault();
    findIn(event.dataTransfer.files[0]);
  });

  $('copyAll').addEventListener('click', () => {
    new Blob(found).text().then((text) => navigator.clipboard.writeText(text))
      .then(() => say('copied', `Copied ${foundCount} ${foundCount === 1 ? 'line' : 'lines'} to the clipboard`),
            (error) => say('copied', `Could not copy: ${error.message}`));
  });

  // The module made, the page works; where it cannot be, the page says so and stays as it was, every
  // control off.
  const script = document.currentScript.textContent;
  Promise.resolve().then(() => WebAssembly.instantiate(moduleBytes)).then(({ instance }) => {
    program = instance.exports;
    finder = new Worker(URL.createObjectURL(new Blob([script], { type: 'text/javascript' })));
    finder.onmessage = answers;
    finder.onerror = (event) => answers({ data: { blocks: [], read: 0, count: 0, done: true, failure: event.message } });
    for (const controls of document.querySelectorAll('fieldset')) controls.disabled = false;
    finding(false);
    $('txtHash').focus();
    // The module's memory as made, which the finder's, in the worker, keeps however long the text.
    Object.assign(document.documentElement.dataset, { ready: String(performance.now()), memory: String(program.memory.buffer.byteLength) });
  }).catch((error) => {
    $('problem').textContent = `This page cannot work here: it runs the program as WebAssembly, which this browser ` +
      `does not allow (${error.message}).`;
    $('problem').hidden = false;
  });
}
