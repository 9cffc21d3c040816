// The page in headless chromium, opened from file://: designs entered by the address's fragment and by the
// form show the decision table, PHI* and the table of contmon-exact's JSON; every invalid field shows the
// program's message; the form and the fragment follow each other, with Back and Forward; each download
// holds the program's bytes. CONTMON_PAGE names the built contmon.html, CHROMIUM the browser.
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { existsSync, mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import puppeteer from 'puppeteer-core';

import { DESIGNS, INVALID, argumentsOf, programMessage, programOutputs, runProgram, withoutDate } from './cases.mjs';

const pageUrl = pathToFileURL(process.env.CONTMON_PAGE).href;
const TEXT_FIELDS = ['K', 'theta', 'phi', 'constant', 'compare', 'start', 'min-events', 'rates', 'alternative', 'find-k', 'accrual', 'window'];
const CC_FIELDS = ['cc-a', 'cc-b', 'cc-p1', 'cc-nu'];
let browser;

before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu'],
  });
});
after(async () => browser?.close());

// The fragment of a design as a user would write it.
const fragmentOf = (design) =>
  '#' + Object.entries(design).map(([name, value]) => `${name}=${encodeURIComponent(value)}`).join('&');

async function open(fragment = '', url = pageUrl) {
  const page = await browser.newPage();
  const failures = [];
  page.on('pageerror', (error) => failures.push(error.message));
  page.on('request', (request) => {
    if (!request.url().startsWith(url.replace(/[^/]*$/, '')) && !/^(blob|data):/.test(request.url()))
      failures.push(`request to ${request.url()}`);
  });
  page.failures = failures;
  await page.goto(url + fragment);
  await settled(page);
  return page;
}

// Waits for the result of the last input.
async function settled(page) {
  await page.waitForFunction(() => ['done', 'error'].includes(document.body.dataset.state), { timeout: 30000 });
  return page.evaluate(() => document.body.dataset.state);
}

async function typeInto(page, id, value) {
  await page.click(`#${id}`, { clickCount: 3 });
  // A triple click can miss the text while the form moves; the field's text is selected whole before it is deleted.
  await page.$eval(`#${id}`, (input) => input.select());
  await page.keyboard.press('Backspace');
  if (value) await page.keyboard.type(value);
  assert.equal(await page.$eval(`#${id}`, (input) => input.value), value, `#${id}`);
}

// Enters the design by the form, as a user would: every field typed or chosen.
async function enter(page, design) {
  const shape = design.shape ?? 'pocock';
  const colon = shape.indexOf(':');
  await page.select('#shape-kind', colon < 0 ? shape : shape.slice(0, colon));
  // The Chen-Chaloner shape's four parameters have a field each.
  const parameters = colon < 0 ? '' : shape.slice(colon + 1);
  if (shape.startsWith('cc:')) for (const [i, value] of parameters.split(',').entries()) await typeInto(page, CC_FIELDS[i], value);
  else if (colon >= 0) await typeInto(page, 'shape-param', parameters);
  await page.select('#schedule', design.looks ? 'list' : design.cohort ? 'cohort' : 'every');
  if (design.looks) await typeInto(page, 'looks', design.looks);
  if (design.cohort) await typeInto(page, 'cohort', design.cohort);
  for (const id of TEXT_FIELDS) await typeInto(page, id, design[id] ?? '');
  await page.keyboard.press('Tab');  // leaves the field: the address takes the design at once
  return settled(page);
}

// What the page shows of the result.
const shown = (page) =>
  page.evaluate(() => {
    const rows = (selector) => [...document.querySelectorAll(`${selector} tbody tr`)].map((tr) => [...tr.cells].map((td) => td.textContent));
    return {
      decision: rows('#decision-table').map((cells) => cells.slice(0, 3).map(Number)),
      observed: rows('#decision-table').map((cells) => cells[3]),
      conduct: document.getElementById('conduct-section').hidden ? null : rows('#conduct-table'),
      looks: document.getElementById('looks-section').hidden ? null : rows('#looks-table'),
      arguments: document.getElementById('arguments').textContent,
      warning: document.getElementById('warning').textContent,
      search: document.getElementById('search-section').hidden ? null : document.getElementById('search').textContent,
      comparison: document.getElementById('comparison-section').hidden ? null : rows('#comparison-table'),
      phiStar: document.getElementById('phi-star').textContent,
      phiStarValue: Number(document.getElementById('phi-star').dataset.value),
      oc: rows('#oc-table'),
      sentence: document.getElementById('sentence').textContent,
      K: document.getElementById('K').value,
      hash: location.hash,
    };
  });

const near = (shownText, value, places, what) =>
  assert.ok(Math.abs(Number(shownText) - value) <= 0.5 * 10 ** -places + 1e-9, `${what}: ${shownText} against ${value}`);

function assertShowsProgramResult(result, design) {
  const document = JSON.parse(programOutputs(design).json);
  const json = document.designs ? document.designs[0] : document;
  // Shapes compared: a row per shape, the form's first, with its constant and PHI*.
  assert.equal(result.comparison === null, !document.designs);
  result.comparison?.forEach((cells, i) => {
    const one = document.designs[i];
    assert.equal(cells[0], one.design.match(/--shape (\S+)/)?.[1] ?? 'pocock');
    assert.equal(Number(cells[1]), one.constant);
    near(cells[2], one.phi_star, 5, `PHI* of ${cells[0]}`);
  });
  if (result.comparison) assert.equal(result.comparison.length, document.designs.length);
  assert.deepEqual(result.decision, json.decision_table.map((row) => [row.from, row.to, row.b]), JSON.stringify(design));
  assert.equal(result.phiStarValue, json.phi_star);
  assert.ok(Math.abs(Number(result.phiStar) - json.phi_star) <= 5e-6 * json.phi_star, result.phiStar);
  assert.equal(result.sentence, json.sentence);
  assert.equal(result.oc.length, json.oc.length);
  json.oc.forEach((row, i) => {
    const cells = result.oc[i].map(Number);
    assert.ok(Math.abs(cells[0] - row.rate) < 1e-9, `rate ${result.oc[i][0]} against ${row.rate}`);
    assert.ok(Math.abs(cells[1] - row.p_stop) <= 0.5e-4 + 1e-12, `P(stop) ${result.oc[i][1]} against ${row.p_stop}`);
    assert.ok(Math.abs(cells[3] - row.mean_n) <= 0.5e-2 + 1e-9, `E[N] ${result.oc[i][3]} against ${row.mean_n}`);
  });
  if (!document.designs) assert.equal(result.arguments, `contmon-exact ${json.design}`);
  // A fixed constant's rule above PHI: the program's warning.
  const warning = runProgram(argumentsOf(design)).stderr.match(/^contmon-exact: (warning: .*)$/m)?.[1] ?? '';
  assert.equal(result.warning, warning);
  // A search for K lists every K' searched; the results are those of the K found.
  assert.equal(result.search === null, json.search === undefined);
  if (result.search) assert.equal(result.search.trim().split('\n').filter((line) => /^\d+ /.test(line)).length, json.search.length);
  // Each row's observed rate with its interval at its first and last look: "0.50 (0.19–0.81) to 0.40 (...)".
  const boundary = new Map(json.boundary.map((entry) => [entry.n, entry]));
  json.decision_table.forEach((row, i) => {
    const looks = row.from === row.to ? [row.from] : [row.from, row.to];
    const numbers = result.observed[i].match(/\d+\.\d+/g);
    assert.equal(numbers.length, 3 * looks.length, result.observed[i]);
    looks.forEach((n, j) => ['observed_rate', 'ci_low', 'ci_high'].forEach((key, k) =>
      near(numbers[3 * j + k], boundary.get(n)[key], 2, `${key} at ${n}`)));
  });
  // Trial conduct, with accrual and window only.
  assert.equal(result.conduct === null, design.accrual === undefined);
  result.conduct?.forEach((cells, i) => ['rate', 'mean_enrolled', 'mean_calendar_time', 'mean_events_with_pending']
    .forEach((key, k) => near(cells[k], json.oc[i][key], k === 0 ? 9 : 2, key)));
  // The looks at THETA, when the table has a row there.
  assert.equal(result.looks === null, json.theta_row === null);
  if (result.looks) {
    const atTheta = json.oc[json.theta_row];
    let by = 0;
    assert.equal(result.looks.length, json.boundary.length);
    result.looks.forEach((cells, i) => {
      by += atTheta.p_stop_at_look[i];
      assert.deepEqual(cells.slice(0, 2).map(Number), [json.boundary[i].n, json.boundary[i].b]);
      near(cells[2], atTheta.p_stop_at_look[i], 4, `P at look ${i}`);
      near(cells[3], by, 4, `P by look ${i}`);
    });
  }
}

for (const design of DESIGNS) {
  test(`by the fragment: ${fragmentOf(design)}`, async () => {
    const page = await open(fragmentOf(design));
    assert.equal(await settled(page), 'done');
    assertShowsProgramResult(await shown(page), design);
    assert.deepEqual(page.failures, []);
    await page.close();
  });
}

test('by the form, with the fragment following each design and Back and Forward between them', async () => {
  const page = await open();
  for (const design of DESIGNS) {
    assert.equal(await enter(page, design), 'done', JSON.stringify(design));
    const result = await shown(page);
    assertShowsProgramResult(result, design);
    // The fragment holds the design by the command line's names; the default shape is left out.
    const fields = Object.fromEntries(new URLSearchParams(result.hash.slice(1).replace(/\+/g, '%2B')));
    const expected = { ...design };
    if (expected.shape === undefined) delete expected.shape;
    assert.deepEqual(fields, expected);
    // Edits closer together than this make one history entry: the next design starts a new one.
    await new Promise((resolve) => setTimeout(resolve, 1600));
  }
  // The form takes the design of the entry (its K differs from the neighbours') and computes it.
  const design = (K) =>
    page.waitForFunction((value) => document.getElementById('K').value === value && document.body.dataset.state === 'done',
      { timeout: 30000 }, K);
  for (let i = DESIGNS.length - 2; i >= DESIGNS.length - 4; --i) {
    await page.goBack();
    await design(DESIGNS[i].K);
    assertShowsProgramResult(await shown(page), DESIGNS[i]);
  }
  await page.goForward();
  await design(DESIGNS[DESIGNS.length - 3].K);
  assertShowsProgramResult(await shown(page), DESIGNS[DESIGNS.length - 3]);
  assert.deepEqual(page.failures, []);
  await page.close();
});

test('each invalid field shows the program\'s message beside it and computes nothing', async () => {
  const page = await open(fragmentOf(DESIGNS[0]));
  for (const { field, value, with: others = {}, at = field } of INVALID) {
    await enter(page, { ...DESIGNS[0], ...others, [field]: value });
    const message = programMessage({ ...DESIGNS[0], ...others }, field, value);
    const state = await page.evaluate((name) => ({
      state: document.body.dataset.state,
      error: document.getElementById('error').textContent,
      beside: document.getElementById(`${name}-error`).textContent,
      outputs: document.getElementById('outputs').hidden,
    }), at);
    assert.deepEqual(state, { state: 'error', error: message, beside: message, outputs: true }, `${field} = ${value}`);
  }
  await page.close();
});

test('each download holds what the program writes', async () => {
  for (const design of [DESIGNS[1], DESIGNS[4], DESIGNS[7], DESIGNS[10]]) {
    const folder = mkdtempSync(join(tmpdir(), 'contmon-downloads-'));
    try {
      const page = await open(fragmentOf(design));
      const session = await page.createCDPSession();
      await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
      const expected = programOutputs(design);
      for (const [id, kind] of [['download-boundary', 'boundary'], ['download-json', 'json'],
        ['download-csv', 'csv'], ['download-html', 'html']]) {
        const name = await page.$eval(`#${id}`, (link) => link.download);
        await page.click(`#${id}`);
        const file = join(folder, name);
        for (let waited = 0; !existsSync(file) || readdirSync(folder).some((f) => f.endsWith('.crdownload')); waited += 50) {
          assert.ok(waited < 10000, `no download ${name}`);
          await new Promise((resolve) => setTimeout(resolve, 50));
        }
        assert.equal(withoutDate(kind, readFileSync(file, 'utf8')), withoutDate(kind, expected[kind]), `${kind} of ${fragmentOf(design)}`);
      }
      await page.close();
    } finally {
      rmSync(folder, { recursive: true, force: true });
    }
  }
});

test('served by a static web server, the page works the same', async () => {
  const html = readFileSync(process.env.CONTMON_PAGE);
  const server = createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    response.end(html);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  try {
    const page = await open(fragmentOf(DESIGNS[1]), `http://127.0.0.1:${server.address().port}/contmon.html`);
    assert.equal(await settled(page), 'done');
    assertShowsProgramResult(await shown(page), DESIGNS[1]);
    assert.deepEqual(page.failures, []);
    await page.close();
  } finally {
    server.close();
  }
});
