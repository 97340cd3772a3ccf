// The browser page in Debian's headless chromium, served from 127.0.0.1: for each picture of a
// table, the line it shows and the .tvx (and a background's .tvm) it downloads are what the native
// bmp2tvx prints and writes for the same file and flags, and what it draws (a background whole, a
// sprite sheet frame by frame) is what tvx2png draws from those files; the eyedropper makes a
// clicked pixel transparent. Saves a screenshot and prints the time a 1024 x 1024 picture takes.
//
//   node page_test.mjs SITE BMP2TVX TVX2PNG BMPSUITE ARTIFACTS [WHY_NO_PAGE]
// Exits 77 (skipped) with the reason when the page, chromium or the npm modules are missing.
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {createServer} from 'node:http';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {crc32, deflateSync} from 'node:zlib';

const [site, bmp2tvx, tvx2png, bmpsuite, artifacts, whyNoPage = ''] = process.argv.slice(2);
const chromiumPath = process.env.BMP2TVX_CHROMIUM ?? '/usr/bin/chromium';
function skip(why) {
    console.log(`Skipped: ${why}`);
    process.exit(77);
}
if (whyNoPage) skip(whyNoPage);
if (!existsSync(chromiumPath)) skip(`no chromium at ${chromiumPath} (Debian: chromium)`);
const {chromium} = await import('playwright-core').catch(() =>
    skip(`playwright-core is not installed: run npm ci in ${import.meta.dirname}`));

// A BMP: 8-bit when `table` ([red, green, blue] entries) is given, pixel(x, y) an index; else
// 24-bit, pixel(x, y) [red, green, blue]. Rows top first, stored bottom-up.
function bmp(width, height, pixel, table = null) {
    const depth = table ? 1 : 3;
    const offset = 54 + 4 * (table?.length ?? 0);
    const file = Buffer.alloc(offset + width * height * depth);
    file.write('BM');
    const fields = [[2, file.length], [10, offset], [14, 40], [18, width], [22, height]];
    for (const [at, value] of fields) {
        file.writeUInt32LE(value, at);
    }
    file.writeUInt16LE(1, 26);
    file.writeUInt16LE(8 * depth, 28);
    table?.forEach(([r, g, b], i) => file.set([b, g, r], 54 + 4 * i));
    for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
            const value = pixel(x, y);
            const at = offset + ((height - 1 - y) * width + x) * depth;
            file.set(table ? [value] : [value[2], value[1], value[0]], at);
        }
    }
    return file;
}
// A PNG: indexed when `table` is given (its first `clear` entries transparent), pixel(x, y) an
// index; else RGBA, pixel(x, y) [red, green, blue, alpha].
function png(width, height, pixel, table = null, clear = 0) {
    const chunk = (type, data) => {
        const body = Buffer.concat([Buffer.from(type), data]);
        const framed = Buffer.alloc(body.length + 8);
        framed.writeUInt32BE(data.length, 0);
        body.copy(framed, 4);
        framed.writeUInt32BE(crc32(body), body.length + 4);
        return framed;
    };
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, table ? 3 : 6], 8);
    const rows = [];
    for (let y = 0; y < height; ++y) {
        rows.push(0);
        for (let x = 0; x < width; ++x) {
            rows.push(...(table ? [pixel(x, y)] : pixel(x, y)));
        }
    }
    return Buffer.concat([
        Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
        ...(table ? [chunk('PLTE', Buffer.from(table.flat())),
                     chunk('tRNS', Buffer.alloc(clear))] : []),
        chunk('IDAT', deflateSync(Buffer.from(rows))), chunk('IEND', Buffer.alloc(0))]);
}
const disc = (x, y) => (x - 11) ** 2 + (y - 8) ** 2 < 30;
const square = (x, y) => x > 3 && x < 12 && y > 3 && y < 12;
// A magenta that 15 bits cannot hold: the key must be the picture's own colour, not the drawn one.
const magenta = [250, 2, 253];
const ship = [[0, 0, 0], [255, 255, 255], [40, 120, 224], [0, 0, 0], [9, 9, 9], magenta];
// Black used at entry 1 and repeated, unused, up to entry 255, as Pillow pads a palette.
const pillow = [[255, 200, 0], ...Array(255).fill([0, 0, 0])];
const example = (file) => readFileSync(path.join(import.meta.dirname, '../../examples', file));
const cases = [
    ['ship.bmp', '-c4 -r250 -g2 -b253', bmp(24, 16, (x, y) => (disc(x, y) ? 2 : 5), ship)],
    ['pillow.bmp', '', bmp(16, 16, (x, y) => (square(x, y) ? 0 : 1), pillow)],
    ['ship24.bmp', '-c4 -r0 -g128 -b255',
     bmp(24, 16, (x, y) => (disc(x, y) ? [250, 40, 0] : [0, 128, 255]))],
    ['many.bmp', '-c4', bmp(8, 8, (x) => 40 * (x % 2), Array(41).fill([10, 20, 30]))],
    ['pal8v5.bmp', '-c16', readFileSync(path.join(bmpsuite, 'g/pal8v5.bmp'))],
    ['hero.png', '', png(16, 16, (x, y) => (square(x, y) ? 2 : 0), ship, 1)],
    // Kept as GBA art often is: entry 0 the teal background, the black outline at entry 1.
    ['slime_kept.png', '-c4 --key=none', example('sprites/slime_kept.png')],
    ['hero-rgba.png', '-c4',
     png(24, 16, (x, y) => (disc(x, y) ? [250, 40, 0, 255] : [0, 0, 0, x < 12 ? 0 : 255]))],
    // One palette for both: the picture is mapped onto the bank's entries.
    ['banked.bmp', '--palette=bank.gpl',
     bmp(16, 8, (x, y) => (x < 8 ? [40, 120, 224] : [255, 255, 255])),
     'GIMP Palette\n0 0 0 key\n255 255 255\n40 120 224\n'],
    // A sprite sheet of two rows of frames, and frames that do not divide it.
    ['walk.png', '-c4 --frame=16x16', example('sprites/walk.png')],
    ['walk-24.png', '-c4 --frame=24x16', example('sprites/walk.png')],
    // Backgrounds: 16-colour tiles in three banks, numbered from tile 16 and bank 2; an affine map;
    // and a map refused for a bitmap.
    ['field.png', '-c4 --map --tile-base=16 --bank-base=2', example('backgrounds/field.png')],
    ['dial.png', '-c8 --map=affine', example('backgrounds/dial.png')],
    ['field-16.png', '-c16 --map', example('backgrounds/field.png')],
].map(([name, flags, file, palette]) =>
    ({name, flags: flags.split(' ').filter(Boolean), file, palette}));

// Run in the page on a card: where the drawings it shows differ from tvx2png's PNG (base64), the
// first drawing its top rows, each further one the rows below; every drawing `rows` high unless 0.
async function differences(card, [png, rows]) {
    const blob = await (await fetch(`data:image/png;base64,${png}`)).blob();
    const drawn = await createImageBitmap(blob, {colorSpaceConversion: 'none'});
    const pixels = (source, y, width, height) => {
        const context = new OffscreenCanvas(width, height).getContext('2d');
        context.drawImage(source, 0, y, width, height, 0, 0, width, height);
        return context.getImageData(0, 0, width, height).data.join();
    };
    let y = 0;
    for (const canvas of [...card.querySelectorAll('canvas')].filter((c) => c.checkVisibility())) {
        const {width, height} = canvas;
        if (width !== drawn.width || (rows && height !== rows) ||
            pixels(canvas, 0, width, height) !== pixels(drawn, y, width, height)) {
            return `the ${width} x ${height} drawing at row ${y} of ` +
                   `${drawn.width} x ${drawn.height}`;
        }
        y += height;
    }
    return y === drawn.height ? '' : `${y} rows drawn of ${drawn.height}`;
}

// The site, served as any static server would.
const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
               '.wasm': 'application/wasm'};
const server = createServer((request, response) => {
    const url = new URL(request.url, 'http://page').pathname.replace(/\/$/, '/index.html');
    const file = path.join(site, path.normalize(url));
    const found = existsSync(file);
    const type = types[path.extname(file)] ?? 'text/plain';
    response.writeHead(found ? 200 : 404, {'Content-Type': type});
    response.end(found ? readFileSync(file) : '');
});
await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
const origin = `http://127.0.0.1:${server.address().port}`;

// Scratch folders, removed at the end: chromium's profile and one for each native run.
const scratch = [];
const scratchFolder = () => scratch[scratch.push(mkdtempSync(path.join(tmpdir(), 'bmp2tvx-'))) - 1];
const profile = scratchFolder();
const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
// Errors on the page, and any request that would leave this machine's server.
const problems = [];
const page = context.pages()[0] ?? (await context.newPage());
page.on('pageerror', (error) => problems.push(`${error}`));
page.on('request', (request) => /^(blob:|data:|http:\/\/127\.0\.0\.1)/.test(request.url()) ||
    problems.push(`a request to ${request.url()}`));
try {
    await page.goto(origin);
    await page.getByText('Ready.').waitFor();
    // Sets the controls as `flags` would, and chooses the files; the cards shown before are
    // marked, to wait for the new ones.
    const card = page.locator('article.picture[data-status]:not([data-old])');
    const choose = async (files, flags, palette = null) => {
        const value = (letter) => flags.find((flag) => flag[1] === letter)?.slice(2);
        const long = (name) => flags.find((flag) => flag.startsWith(`--${name}=`))?.slice(
            name.length + 3);
        await page.locator('#palette').setInputFiles(
            palette ? [{name: long('palette'), mimeType: 'text/plain',
                        buffer: Buffer.from(palette)}] : []);
        await page.locator('#no-palette').waitFor({state: palette ? 'visible' : 'hidden'});
        await page.selectOption('#layout', flags.find((flag) => flag[1] === 'c') ?? '');
        const keep = flags.includes('--key=none');
        await page.setChecked('#keep-indices', keep);
        for (const color of keep ? [] : ['red', 'green', 'blue']) {
            await page.fill(`#${color}`, value(color[0]) ?? '0');
        }
        const frame = long('frame')?.split('x') ?? ['', ''];
        await page.fill('#frame-width', frame[0]);
        await page.fill('#frame-height', frame[1]);
        const map = flags.find((flag) => flag.startsWith('--map')) ?? '';
        await page.selectOption('#map', map);
        for (const base of map ? ['tile-base', 'bank-base'] : []) {
            await page.fill(`#${base}`, long(base) ?? '');
        }
        await page.$$eval('article', (cards) => cards.forEach((old) => (old.dataset.old = '')));
        await page.locator('#files').setInputFiles(
            files.map(({name, file}) => ({name, mimeType: 'image/bmp', buffer: file})));
        await card.nth(files.length - 1).waitFor();
    };
    for (const {name, flags, file, palette} of cases) {
        const native = scratchFolder();
        writeFileSync(path.join(native, name), file);
        if (palette) {
            writeFileSync(path.join(native, flags.at(-1).slice(10)), palette);
        }
        const expected = spawnSync(bmp2tvx, [...flags, name], {cwd: native, encoding: 'utf8'});
        const command = ['bmp2tvx', ...flags, name].join(' ');
        await choose([{name, file}], flags, palette);
        assert.equal(await card.locator('.message').textContent(),
                     (expected.stdout + expected.stderr).trimEnd(), command);
        assert.equal(await card.locator('.command').textContent(), command);
        assert.equal(await card.getAttribute('data-status'), String(expected.status), command);
        const tvx = path.join(native, name.replace(/(bmp|png)$/, 'tvx'));
        const tvm = tvx.replace(/x$/, 'm');
        for (const file of [tvx, tvm]) {
            const link = card.locator(`a.${file.slice(-3)}`);
            if (existsSync(file)) {
                const [download] = await Promise.all([page.waitForEvent('download'), link.click()]);
                assert.equal(download.suggestedFilename(), path.basename(file));
                assert.deepEqual(readFileSync(await download.path()), readFileSync(file), command);
            } else {
                assert.ok(await link.isHidden(), `${command}: a download of ${file}`);
            }
        }
        if (existsSync(tvm)) {
            const [across, down, banks] = [2, 4, 6].map((at) => readFileSync(tvm).readUInt16LE(at));
            assert.equal(await card.locator('.counts').textContent(), `${across * down} cells, ` +
                `${readFileSync(tvx).readUInt16LE(6)} distinct tiles, ${banks} palette banks`);
        }
        if (existsSync(tvx)) {
            // tvx2png draws the map beside the tiles, with the bases it was made with.
            const bases = flags.filter((flag) => /^--(tile|bank)-base=/.test(flag));
            assert.equal(spawnSync(tvx2png, [...bases, tvx]).status, 0, `tvx2png ${tvx}`);
            const frameHeight = Number(flags.find((flag) => flag.startsWith('--frame='))
                ?.split('x')[1]);
            assert.equal(await card.evaluate(differences, [
                readFileSync(`${tvx}.png`).toString('base64'), frameHeight || 0]), '', command);
        }
        console.log(`ok: ${command}`);
    }

    // The eyedropper: ship.bmp with its indices kept shows its magenta background; clicking it
    // there makes magenta the key instead, and the same pixel shows the checkerboard.
    await choose([cases[0]], ['--key=none']);
    const canvas = card.locator('canvas');
    const shownAt = async (x, y) => page.evaluate(async ([png, x, y]) => {
        const shot = await fetch(`data:image/png;base64,${png}`);
        const image = await createImageBitmap(await shot.blob());
        const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
        context.drawImage(image, 0, 0);
        return [...context.getImageData(x, y, 1, 1).data.slice(0, 3)];
    }, [(await canvas.screenshot()).toString('base64'), x, y]);
    assert.deepEqual(await shownAt(3, 3), [255, 0, 255]);
    await canvas.click({position: {x: 3, y: 3}});
    await page.waitForFunction(() => document.getElementById('red').value === '250');
    assert.equal(`${await page.inputValue('#green')} ${await page.inputValue('#blue')}`, '2 253');
    assert.equal(await card.locator('.command').textContent(), 'bmp2tvx -r250 -g2 -b253 ship.bmp');
    const [r, g, b] = await shownAt(3, 3);
    assert.ok(r === g && g === b && [0xc8, 0xf4].includes(r), `the key pixel shows ${[r, g, b]}`);
    console.log('ok: the eyedropper');
    // On a sprite sheet's frame it picks where the frame lies in the sheet: frame 10 of walk.png in
    // frames of 16 x 16 is the second row's third, its (4,4) the sheet's (36,20), in a slime's
    // body where the sheet's (4,4) is background.
    const pickAt = async (flags, nth, x, y) => {
        await choose([cases.find(({name}) => name === 'walk.png')], ['--key=none', ...flags]);
        const position = {x: 2 * x + 1, y: 2 * y + 1};  // at 2x
        await card.locator('canvas:visible').nth(nth).click({position});
        await page.waitForFunction(() => !document.getElementById('keep-indices').checked);
        return Promise.all(['#red', '#green', '#blue'].map((id) => page.inputValue(id)));
    };
    const body = await pickAt([], 0, 36, 20);
    assert.notDeepEqual(await pickAt([], 0, 4, 4), body);
    assert.deepEqual(await pickAt(['--frame=16x16'], 10, 4, 4), body);
    console.log('ok: the eyedropper on a frame');

    // A screenshot of the page with several pictures as Index16, the tile grid on, at 4x.
    await page.check('#grid');
    await page.locator('#zoom').fill('4');
    await choose(cases.slice(0, 4), ['-c4', '-r250', '-g2', '-b253']);
    const screenshot = path.join(artifacts, 'web_page.png');
    await page.screenshot({path: screenshot, fullPage: true});
    console.log(`screenshot: ${screenshot}`);

    // A 1024 x 1024 picture of 24-bit colour: from the page's being given the file to the picture
    // drawn, then converted and drawn again.
    const large = bmp(1024, 1024, (x, y) => [x & 255, y & 255, (x ^ y) & 255]);
    await page.$eval('#files', (input) =>
        input.addEventListener('change', () => (window.chosenAt = performance.now())));
    await choose([{name: 'large.bmp', file: large}], []);
    const [chosen, again] = await page.evaluate(async () => {
        const frame = () => new Promise(requestAnimationFrame);
        await frame();
        const first = performance.now() - window.chosenAt;
        const start = performance.now();
        convertAll();
        await frame();
        return [first, performance.now() - start];
    });
    console.log(`1024x1024: ${chosen.toFixed(0)} ms from the file given to the picture drawn, ` +
                `${again.toFixed(0)} ms to convert and draw it again`);
    assert.deepEqual(problems, []);
} finally {
    await context.close();
    server.close();
    scratch.forEach((folder) => rmSync(folder, {recursive: true, force: true}));
}
