// Times the page in headless chromium, opened from file://: load to the first result (the default design's
// table, then its pictures and files), and exact Pocock K = 255 from the input to its table shown, as the
// median of several runs. Prints the figures; it asserts nothing.
//   node web/bench/bench.mjs [build-web/contmon.html] [runs]
// Needs puppeteer-core (web/test: npm ci) and Debian's chromium (CHROMIUM names another).
import { createRequire } from 'node:module';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const require = createRequire(new URL('../test/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');
const page_file = resolve(process.argv[2] ?? 'build-web/contmon.html');
const runs = Number(process.argv[3] ?? 15);

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu'],
});
try {
  const loads = [], loadsDone = [];
  for (let i = 0; i < 5; i++) {
    const page = await browser.newPage();
    await page.goto(pathToFileURL(page_file).href);
    await page.waitForFunction(() => document.body.dataset.state === 'done');
    const timing = await page.evaluate(() => window.contmonTiming);
    loads.push(timing.tableShown);  // performance.now() counts from the start of the page's navigation
    loadsDone.push(timing.shown);
    await page.close();
  }
  const page = await browser.newPage();
  await page.goto(pathToFileURL(page_file).href);
  await page.waitForFunction(() => document.body.dataset.state === 'done');
  const toTable = [], inWorker = [], toDone = [];
  for (let i = 0; i < runs; i++) {
    for (const K of ['40', '255']) {
      await page.evaluate((value) => {
        const input = document.getElementById('K');
        input.value = value;
        input.dispatchEvent(new Event('input', { bubbles: true }));
      }, K);
      await page.waitForFunction(() => document.body.dataset.state === 'done');
      if (K !== '255') continue;
      const timing = await page.evaluate(() => window.contmonTiming);
      toTable.push(timing.tableShown - timing.requested);
      inWorker.push(timing.tableMs);
      toDone.push(timing.shown - timing.requested);
    }
  }
  const ms = (x) => `${x.toFixed(1)} ms`;
  console.log(`load to first table (K = 40, Pocock): median ${ms(median(loads))} of 5 loads; to pictures and files ${ms(median(loadsDone))}`);
  console.log(`exact Pocock K = 255, input to table shown: median ${ms(median(toTable))} of ${runs} (min ${ms(Math.min(...toTable))}, max ${ms(Math.max(...toTable))}); in the worker ${ms(median(inWorker))}`);
  console.log(`exact Pocock K = 255, input to pictures and files: median ${ms(median(toDone))}`);
} finally {
  await browser.close();
}
