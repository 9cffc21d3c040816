// Puts the page together: the template with its styles, its script and the worker (the module and the
// worker's script) written inside it, so that one file holds everything.
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const [src, module, output] = process.argv.slice(2);
const read = (file) => readFileSync(file, 'utf8');
// Inside a <script> element, "</script" would end it early; the module holds none, which is checked.
const inline = (text, name) => {
  if (/<\/script/i.test(text)) throw new Error(`${name} holds "</script"`);
  return text;
};
const replacements = {
  '/*STYLE*/': read(join(src, 'page.css')),
  '/*PAGE*/': inline(read(join(src, 'page.js')), 'page.js'),
  '/*WORKER*/': inline(read(module) + '\n' + read(join(src, 'worker.js')), 'the worker'),
};
let html = read(join(src, 'page.html'));
for (const [mark, text] of Object.entries(replacements)) {
  if (!html.includes(mark)) throw new Error(`page.html has no ${mark}`);
  html = html.replace(mark, () => text);
}
writeFileSync(output, html);
