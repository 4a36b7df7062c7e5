// Inputs shared as links: Share puts the input's exact bytes into the
// address's fragment, the part after '#', and a page opened with such a
// fragment loads those bytes and runs them. A browser never sends the
// fragment to a server, and the page sends nothing, so a link works from
// disk as well as served, and the input stays between the people who pass
// the link on. It owns #share, #share-exercise, #share-link, #share-note and
// #share-fragment.
//
// The fragment is "i1=" and the input compressed with raw deflate, in
// base64url. The number after "i" names the format, so that a later page
// can still tell these links from its own. Parameters may follow, each
// "&name=value": "x=1" opens the input as an exercise (exercise.js), "l=hu"
// in that language, "s=2" at that panel of the walk-through (from 1). A
// link without them opens as every link made before them did.
(() => {
  // Every word this part shows.
  const TEXTS = Language.table({
    en: {
      button: 'Share',
      exercise: 'as an exercise',
      linkLabel: 'Link to this input',
      fragmentLabel: 'The part to put after the address of joinrel.html',
      making: 'Making the link\u2026',
      copied:
        'The link is copied, ready to paste. It holds the whole input, so whoever opens it sees ' +
        'this input and its run; nothing was sent anywhere.',
      notCopied:
        'Copy the link from the field above. It holds the whole input, so whoever opens it sees ' +
        'this input and its run; nothing was sent anywhere.',
      fromDisk:
        'This page was opened from a file on this computer, so the link names that file, which ' +
        'nobody else can open. Send them the part below instead: they open their own copy of ' +
        'joinrel.html and put it right after its address in the address bar.',
      tooLarge:
        'This input is too large to share as a link: the link would be longer than 32,000 ' +
        'characters. Send the file itself instead.',
      noCompression:
        'This browser cannot compress an input, so it cannot make or open a link with one.',
      loaded: 'This input came with the link the page was opened with.',
      broken:
        'The input in this link is broken, perhaps cut short when it was copied, so nothing was ' +
        'loaded. Ask for the whole link again.',
      newer:
        'This link was made by a newer version of the page, and this copy cannot read it, so ' +
        'nothing was loaded. Open the link with a newer joinrel.html.',
    },
    hu: {
      button: 'Megosztás',
      exercise: 'feladatként',
      linkLabel: 'Link erre a bemenetre',
      fragmentLabel: 'A rész, amelyet a joinrel.html címe után kell írni',
      making: 'A link készül\u2026',
      copied:
        'A link a vágólapra került, beillesztheted. A teljes bemenetet tartalmazza, így aki ' +
        'megnyitja, ezt a bemenetet és a futását látja; az oldal semmit sem küldött el sehová.',
      notCopied:
        'Másold ki a linket a fenti mezőből. A teljes bemenetet tartalmazza, így aki megnyitja, ' +
        'ezt a bemenetet és a futását látja; az oldal semmit sem küldött el sehová.',
      fromDisk:
        'Ezt az oldalt fájlként nyitottad meg a saját gépedről, ezért a link erre a fájlra mutat, ' +
        'amelyet más nem tud megnyitni. Küldd el inkább az alábbi részt: a címzett megnyitja a joinrel.html ' +
        'saját példányát, és a címsorban közvetlenül a cím után beilleszti.',
      tooLarge:
        'Ez a bemenet túl nagy ahhoz, hogy linkként oszd meg: a link hosszabb lenne 32 000 ' +
        'karakternél. Küldd el inkább magát a fájlt.',
      noCompression:
        'Ez a böngésző nem tud bemenetet tömöríteni, ezért bemenetet hordozó linket sem ' +
        'készíteni, sem megnyitni nem tud.',
      loaded: 'Ez a bemenet azzal a linkkel érkezett, amellyel az oldalt megnyitottad.',
      broken:
        'A linkben lévő bemenet sérült, talán másoláskor megcsonkult, ezért semmi sem töltődött ' +
        'be. Kérd el újra a teljes linket.',
      newer:
        'Ezt a linket az oldal egy újabb változata készítette, és ez a példány nem tudja ' +
        'beolvasni, ezért semmi sem töltődött be. Nyisd meg a linket a joinrel.html egy újabb változatával.',
    },
  });

  // Longer links are cut or refused by mail programs, chats and browsers.
  const MAX_LINK = 32000;
  // No input is put into a link whose compressed form could not fit one:
  // deflate makes at best about 1,032 bytes into one, and base64url makes
  // 3 bytes into 4 characters.
  const MAX_SHARED_BYTES = ((MAX_LINK * 3) / 4) * 1032;
  const FORMAT = 'i1=';
  const SHARED_NAME = 'shared.txt';

  const $ = (id) => document.getElementById(id);
  const button = $('share');
  const link = $('share-link');
  const note = $('share-note');
  const fragmentField = $('share-fragment');
  const asExercise = $('share-exercise');
  const say = (key) => Language.text(TEXTS, key);
  // The keys of what the note says, one sentence or more, kept so that a
  // switch of language can say it again.
  let noteKeys = [];

  function drawWords() {
    button.textContent = say('button');
    $('share-exercise-label').textContent = say('exercise');
    link.setAttribute('aria-label', say('linkLabel'));
    fragmentField.setAttribute('aria-label', say('fragmentLabel'));
    note.textContent = noteKeys.map(say).join(' ');
  }
  drawWords();
  Language.onChange(drawWords);

  function sayNote(...keys) {
    noteKeys = keys;
    note.textContent = keys.map(say).join(' ');
  }

  // Counts the input's changes, so that a link made or a run started for an
  // input that has changed since is dropped.
  let changes = 0;

  // Says `key` (or nothing for null) and shows the link and the fragment given.
  function show(key, { url = '', fragment = '' } = {}) {
    sayNote(...(key ? [key] : []));
    link.value = url;
    link.hidden = !url;
    fragmentField.value = fragment;
    fragmentField.hidden = !fragment;
  }

  Input.onChange(() => {
    changes += 1;
    show(null);
  });

  const canCompress =
    typeof CompressionStream === 'function' && typeof DecompressionStream === 'function';

  // `bytes` through a CompressionStream or DecompressionStream; rejects on
  // data the stream refuses.
  async function through(bytes, stream) {
    const piped = new Blob([bytes]).stream().pipeThrough(stream);
    return new Uint8Array(await new Response(piped).arrayBuffer());
  }

  function toBase64url(bytes) {
    let binary = '';
    // In slices: a call takes only so many arguments.
    for (let i = 0; i < bytes.length; i += 0x8000)
      binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  // The bytes of base64url `text`, or null where it is not base64url.
  function fromBase64url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text)) return null;
    try {
      return Uint8Array.from(atob(text.replace(/-/g, '+').replace(/_/g, '/')), (c) =>
        c.charCodeAt(0),
      );
    } catch {
      return null;
    }
  }

  async function copy(text) {
    try {
      await navigator.clipboard.writeText(text);
      return true;
    } catch {
      return false; // the browser said no: the field still holds the link
    }
  }

  button.addEventListener('click', async () => {
    if (!canCompress) {
      show('noCompression');
      return;
    }
    const mine = changes;
    show('making');
    const input = await Input.current();
    if (input.bytes.length > MAX_SHARED_BYTES) {
      if (mine === changes) show('tooLarge');
      return;
    }
    const fragment = `#${FORMAT}${toBase64url(await through(input.bytes, new CompressionStream('deflate-raw')))}${parameters()}`;
    const url = location.href.split('#')[0] + fragment;
    if (mine !== changes) return;
    if (url.length > MAX_LINK) {
      show('tooLarge');
      return;
    }
    const fromDisk = location.protocol === 'file:';
    show('making', { url, fragment: fromDisk ? fragment : '' });
    link.focus();
    link.select();
    const copied = await copy(url);
    if (mine !== changes) return;
    sayNote(copied ? 'copied' : 'notCopied', ...(fromDisk ? ['fromDisk'] : []));
  });

  // The parameters after the input: whether it is an exercise, and its
  // language; the walk-through's panel on show when it is not the first.
  function parameters() {
    const exercise = asExercise.checked ? `&x=1&l=${Language.current()}` : '';
    const { count, current } = Walk.panels();
    return `${exercise}${count > 0 && current > 0 ? `&s=${current + 1}` : ''}`;
  }

  // The parameters of `text` ("&x=1&l=hu&s=2"): {exercise, language, step};
  // a parameter this page does not know is passed over.
  function readParameters(text) {
    const found = new URLSearchParams(text);
    const step = Number(found.get('s'));
    return {
      exercise: found.get('x') === '1',
      language: found.get('l'),
      step: Number.isInteger(step) && step > 0 ? step : 0,
    };
  }

  // The input of the address's fragment, as {bytes, parameters} or {refusal:
  // key of TEXTS}; null when there is no fragment.
  async function fragmentInput() {
    const [fragment, ...rest] = location.hash.slice(1).split('&');
    if (!fragment) return null;
    const format = /^i(\d+)=/.exec(fragment);
    if (!format) return { refusal: 'broken' };
    if (`i${format[1]}=` !== FORMAT) return { refusal: Number(format[1]) > 1 ? 'newer' : 'broken' };
    if (!canCompress) return { refusal: 'noCompression' };
    // No link made here is longer, and a longer one could inflate to more
    // than the tab holds.
    const compressed =
      fragment.length <= MAX_LINK ? fromBase64url(fragment.slice(FORMAT.length)) : null;
    if (!compressed) return { refusal: 'broken' };
    try {
      const bytes = await through(compressed, new DecompressionStream('deflate-raw'));
      return { bytes, parameters: readParameters(rest.join('&')) };
    } catch {
      return { refusal: 'broken' };
    }
  }

  // Loads the fragment's input and runs it once the engine is there, unless
  // the input changed meanwhile.
  async function openFragment() {
    const shared = await fragmentInput();
    if (!shared) return;
    if (shared.refusal) {
      show(shared.refusal);
      return;
    }
    const { exercise, language, step } = shared.parameters;
    if (['en', 'hu'].includes(language) && language !== Language.current()) Language.set(language);
    if (exercise) {
      Exercise.start(SHARED_NAME, shared.bytes, step);
    } else {
      Input.load(SHARED_NAME, shared.bytes);
      if (step > 0) Walk.reveal(Infinity, step - 1);
    }
    asExercise.checked = exercise;
    show('loaded');
    const loaded = changes;
    // Where the engine cannot load, the page says so already.
    Engine.ready.then(
      () => {
        if (loaded === changes) $('run').click();
      },
      () => {},
    );
  }

  openFragment();
  window.addEventListener('hashchange', openFragment);
})();
