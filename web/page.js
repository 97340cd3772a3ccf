// The page: runs bmp2tvx on each chosen picture inside the WebAssembly module (bmp2tvx_web.js,
// built from web_main.cpp and the tools' own sources) and shows what the run printed and wrote,
// drawn by tvx2png's renderer: a background from its tiles and its map, a sprite sheet frame by
// frame. Nothing leaves the browser.
'use strict';

const $ = (id) => document.getElementById(id);
const pictures = [];  // {name, bytes, card, result}
const kFramesShown = 256;  // a sheet of more frames shows its first ones only
let palette = null;  // the palette file every picture is mapped onto: {name, bytes}, or none
let converter = null;
let printed = null;  // the lines a run prints, while it runs

const collect = (line) => (printed ? printed.push(line) : console.log(line));
createConverter({print: collect, printErr: collect}).then((module) => {
    converter = module;
    $('status').textContent = 'Ready.';
    convertAll();
}, (error) => {
    $('status').textContent = `The converter could not be loaded: ${error}`;
});

// A key component from its field, as a whole number from 0 to 255, written back if it was not.
function component(id) {
    const field = $(id);
    const value = Math.min(255, Math.max(0, Math.trunc(Number(field.value)) || 0));
    if (field.value !== String(value)) {
        field.value = value;
    }
    return value;
}

// The key colour from its three fields, also shown as a swatch; null while the pictures keep
// their indices (--key=none), when the fields are set aside until the eyedropper picks a key.
function keyColor() {
    const keep = $('keep-indices').checked;
    $('key').disabled = keep;
    const key = ['red', 'green', 'blue'].map(component);
    $('key-swatch').style.background = `rgb(${key.join(' ')})`;
    return keep ? null : key;
}

// The bases number a background's map, and are set aside without one.
function mapChoice() {
    $('tile-base').disabled = $('bank-base').disabled = !$('map').value;
}

// bmp2tvx's arguments for a picture: the layout's flag; --key=none when the indices are kept; the
// palette file, or else the key colour unless it is black, bmp2tvx's own default (a palette file's
// entry 0 is the key).
function argumentsFor(name, key) {
    const flags = [$('layout').value].filter(Boolean);
    if (!key) {
        flags.push('--key=none');
    }
    if (palette) {
        flags.push(`--palette=${palette.name}`);
    } else if (key?.some(Boolean)) {
        flags.push(`-r${key[0]}`, `-g${key[1]}`, `-b${key[2]}`);
    }
    const frame = [$('frame-width').value, $('frame-height').value];
    if (frame.some(Boolean)) {
        flags.push(`--frame=${frame.join('x')}`);
    }
    if ($('map').value) {
        flags.push($('map').value);
        for (const base of ['tile-base', 'bank-base'].filter((id) => $(id).value)) {
            flags.push(`--${base}=${$(base).value}`);
        }
    }
    return ['bmp2tvx', ...flags, name];
}

// A word of the command line as a POSIX shell reads it: quoted unless plain.
const shellWord = (word) =>
    (/^[\w.,+=:@%/-]+$/.test(word) ? word : `'${word.replace(/'/g, `'\\''`)}'`);

// Copies bytes into the module's memory for one call.
function withBytes(bytes, call) {
    const at = converter._malloc(bytes.length || 1);
    converter.HEAPU8.set(bytes, at);
    try {
        return call(at);
    } finally {
        converter._free(at);
    }
}

// A NUL-terminated string in the module's memory.
function stringAt(heap, at) {
    let end = at;
    while (heap[end]) {
        ++end;
    }
    return new TextDecoder().decode(heap.slice(at, end));
}

// One run of bmp2tvx (web_convert): what it printed and wrote (a background's map too), and the
// written files drawn.
function run(args, bytes) {
    const text = new TextEncoder().encode(args.join('\0') + '\0');
    const paletteBytes = palette ? palette.bytes : new Uint8Array();
    printed = [];
    const at = withBytes(text, (argsAt) => withBytes(bytes, (bytesAt) =>
        withBytes(paletteBytes, (paletteAt) => converter._web_convert(
            argsAt, args.length, bytesAt, bytes.length, paletteAt, paletteBytes.length))));
    const lines = printed;
    printed = null;
    const heap = converter.HEAPU8;
    const [status, nameAt, outputAt, outputSize, width, height, rgbaAt, entries, paletteAt,
           mapNameAt, mapAt, mapSize, tiles, banks, frameWidth, frameHeight] =
        converter.HEAPU32.slice(at / 4, at / 4 + 16);
    return {
        status, lines, width, height, entries, tiles, banks, frameWidth, frameHeight,
        outputName: stringAt(heap, nameAt),
        output: heap.slice(outputAt, outputAt + outputSize),
        mapName: stringAt(heap, mapNameAt),
        map: heap.slice(mapAt, mapAt + mapSize),
        rgba: new Uint8ClampedArray(heap.slice(rgbaAt, rgbaAt + 4 * width * height)),
        palette: heap.slice(paletteAt, paletteAt + 4 * entries),
    };
}

// The downloads: the blob a link offers replaces the one it offered before.
function offer(link, blob, name) {
    URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(blob);
    link.download = name;
    link.textContent = `Download ${name}`;
}

// The palette's entries; a background's map of 16-colour tiles has banks of 16 instead, a row
// each, whose entry 0 is transparent.
function showPalette(box, result) {
    const list = box.querySelector('.palette');
    const bankBase = Number($('bank-base').value) || 0;
    box.querySelector('summary').textContent = result.banks ? 'Palette banks' : 'Palette';
    list.replaceChildren();
    for (let i = 0; i < result.entries; ++i) {
        const color = `rgb(${result.palette.slice(4 * i, 4 * i + 3).join(' ')})`;
        const entry = result.banks ? i % 16 : i;
        const item = document.createElement('li');
        item.style.setProperty('--color', color);
        item.textContent = entry;
        item.title = (result.banks ? `bank ${bankBase + Math.floor(i / 16)}, ` : '') +
                     (entry ? `${entry}: ${color}` : `0: ${color}, drawn as transparent`);
        item.className = entry ? '' : 'key';
        list.append(item);
    }
}

// Draws `rgba`, `width` x `height` pixels, on the canvas of `preview`, keeping its keyboard
// cursor within.
function draw(preview, rgba, width, height) {
    const canvas = preview.querySelector('canvas');
    canvas.width = width;
    canvas.height = height;
    canvas.style.width = `calc(${width}px * var(--zoom))`;
    canvas.style.height = `calc(${height}px * var(--zoom))`;
    canvas.getContext('2d').putImageData(new ImageData(rgba, width), 0, 0);
    preview.cursor = {x: Math.min(preview.cursor.x, width - 1),
                      y: Math.min(preview.cursor.y, height - 1)};
    placeCursor(preview);
}

// A sprite sheet's frames, cut from the column of frames the file holds, each drawn on its own as
// an object shows it. Returns how many frames the file holds (0 without --frame).
function showFrames(picture, result) {
    const list = picture.card.querySelector('.frames');
    const {frameWidth: width, frameHeight: height} = result;
    const frames = height ? result.height / height : 0;
    const shown = Math.min(frames, kFramesShown);
    while (list.children.length > shown) {
        list.lastElementChild.remove();
    }
    while (list.children.length < shown) {
        const frame = list.children.length;
        const item = document.createElement('li');
        const preview = $('picture').content.querySelector('.preview').cloneNode(true);
        const canvas = preview.querySelector('canvas');
        canvas.setAttribute('aria-label', `Frame ${frame}. ${canvas.getAttribute('aria-label')}`);
        item.append(preview, `frame ${frame}`);
        watch(picture, preview, frame);
        list.append(item);
    }
    const size = 4 * width * height;
    [...list.children].forEach((item, i) => draw(
        item.firstChild, result.rgba.subarray(i * size, (i + 1) * size), width, height));
    return frames;
}

const plural = (count, word) => `${count} ${word}${count === 1 ? '' : 's'}`;

// What a background's files or a sprite sheet's frames come to.
function counts(result, frames) {
    if (result.map.length) {
        return `${plural(result.width * result.height / 64, 'cell')}, ` +
               `${plural(result.tiles, 'distinct tile')}, ${plural(result.banks, 'palette bank')}`;
    }
    const shown = frames > kFramesShown ? `, the first ${kFramesShown} shown` : '';
    return frames ? `${plural(frames, 'frame')} of ${result.frameWidth} x ` +
                    `${result.frameHeight} pixels${shown}` : '';
}

function convert(picture, key) {
    const args = argumentsFor(picture.name, key);
    const result = run(args, picture.bytes);
    const {card} = picture;
    picture.result = result;
    card.querySelector('.message').textContent = result.lines.join('\n');
    card.querySelector('.command').textContent = args.map(shellWord).join(' ');
    const drawn = result.width > 0 && result.height > 0;
    const frames = showFrames(picture, result);
    card.querySelector('.counts').textContent = counts(result, frames);
    // The whole drawing, as tvx2png draws the files; a sprite sheet shows its frames instead.
    const whole = card.querySelector('.preview');
    whole.hidden = !drawn || frames > 0;
    card.querySelector('.palette-box').hidden = !drawn || !result.entries;
    card.querySelector('.downloads').hidden = !result.output.length;
    card.querySelector('.tvm').hidden = !result.map.length;
    card.querySelector('.png').hidden = !drawn;
    showPalette(card.querySelector('.palette-box'), result);
    if (result.output.length) {
        offer(card.querySelector('.tvx'), new Blob([result.output]), result.outputName);
    }
    if (result.map.length) {
        offer(card.querySelector('.tvm'), new Blob([result.map]), result.mapName);
    }
    if (drawn) {
        draw(whole, result.rgba, result.width, result.height);
        whole.querySelector('canvas').toBlob(
            (png) => offer(card.querySelector('.png'), png, `${result.outputName}.png`));
    }
    card.dataset.status = result.status;
}

function convertAll() {
    const key = keyColor();
    mapChoice();
    if (converter) {
        pictures.forEach((picture) => convert(picture, key));
    }
}

// The eyedropper: the source picture's own colour at a pixel becomes the key (web_source_color),
// the indices no longer kept. The pixel is one of the whole picture, or of sprite sheet frame
// `frame`.
function pick(picture, {x, y}, frame) {
    const {frameWidth = 0, frameHeight = 0} = frame === null ? {} : picture.result;
    const color = withBytes(picture.bytes, (at) => converter._web_source_color(
        at, picture.bytes.length, x, y, frameWidth, frameHeight, frame ?? 0));
    if (color >= 0) {
        [$('red').value, $('green').value, $('blue').value] =
            [color >> 16, (color >> 8) & 255, color & 255];
        $('keep-indices').checked = false;
        convertAll();
    }
}

function placeCursor(preview) {
    const style = preview.querySelector('.cursor').style;
    style.left = `calc(${preview.cursor.x}px * var(--zoom))`;
    style.top = `calc(${preview.cursor.y}px * var(--zoom))`;
}

const kMoves = {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]};

// The eyedropper on one drawing, the whole picture's or (`frame` not null) a sprite sheet frame's:
// a click, or Enter at the keyboard's cursor, picks the pixel's colour.
function watch(picture, preview, frame) {
    const canvas = preview.querySelector('canvas');
    preview.cursor = {x: 0, y: 0};
    canvas.addEventListener('click', (event) => {
        const box = canvas.getBoundingClientRect();
        preview.cursor = {x: Math.floor((event.clientX - box.left) * canvas.width / box.width),
                          y: Math.floor((event.clientY - box.top) * canvas.height / box.height)};
        pick(picture, preview.cursor, frame);
    });
    canvas.addEventListener('keydown', (event) => {
        const move = kMoves[event.key];
        const {cursor} = preview;
        if (move) {
            cursor.x = Math.min(Math.max(cursor.x + move[0], 0), canvas.width - 1);
            cursor.y = Math.min(Math.max(cursor.y + move[1], 0), canvas.height - 1);
            placeCursor(preview);
        } else if (event.key === 'Enter' || event.key === ' ') {
            pick(picture, cursor, frame);
        } else {
            return;
        }
        event.preventDefault();
    });
}

function addCard(picture) {
    picture.card = $('picture').content.firstElementChild.cloneNode(true);
    picture.card.querySelector('h2').textContent = picture.name;
    watch(picture, picture.card.querySelector('.preview'), null);
    $('pictures').append(picture.card);
    pictures.push(picture);
}

// The chosen or dropped files replace the pictures shown.
async function load(files) {
    const chosen = await Promise.all([...files].map(async (file) =>
        ({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())})));
    for (const link of $('pictures').querySelectorAll('a')) {
        URL.revokeObjectURL(link.href);
    }
    pictures.length = 0;
    $('pictures').replaceChildren();
    chosen.forEach(addCard);
    convertAll();
}

function showZoom() {
    $('zoom-shown').textContent = `${$('zoom').value}x`;
    $('pictures').style.setProperty('--zoom', $('zoom').value);
}

$('files').addEventListener('change', (event) => load(event.target.files));
// A palette file, once chosen, applies to every picture until it is taken away.
$('palette').addEventListener('change', async (event) => {
    const [file] = event.target.files;
    palette = file ? {name: file.name, bytes: new Uint8Array(await file.arrayBuffer())} : null;
    $('no-palette').hidden = !palette;
    convertAll();
});
$('no-palette').addEventListener('click', () => {
    palette = null;
    $('palette').value = '';
    $('no-palette').hidden = true;
    convertAll();
});
$('settings').addEventListener('submit', (event) => event.preventDefault());
for (const id of ['layout', 'red', 'green', 'blue', 'keep-indices', 'frame-width', 'frame-height',
                  'map', 'tile-base', 'bank-base']) {
    $(id).addEventListener('change', convertAll);
}
$('zoom').addEventListener('input', showZoom);
$('grid').addEventListener('change',
                          () => $('pictures').classList.toggle('grid-on', $('grid').checked));
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
    event.preventDefault();
    load(event.dataTransfer.files);
});
showZoom();
keyColor();
mapChoice();
