// The WebAssembly module alone, in node: for each design its outputs equal contmon-exact's (date aside), and
// each invalid field gives the program's message. CONTMON_MODULE names the built contmon-module.js.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { test } from 'node:test';

import { DESIGNS, INVALID, programMessage, programOutputs, withoutDate } from './cases.mjs';

const createContmon = createRequire(import.meta.url)(process.env.CONTMON_MODULE);
const contmon = await createContmon();
const call = (name, args = []) =>
  JSON.parse(contmon.ccall(name, 'string', args.map(() => 'string'), args));
const run = (fields) => call('contmon_web_run', [JSON.stringify(fields)]);

for (const design of DESIGNS) {
  test(`the module's outputs equal the program's: ${JSON.stringify(design)}`, () => {
    const table = run(design);
    assert.equal(table.ok, true, JSON.stringify(table.errors));
    const files = call('contmon_web_finish');
    const expected = programOutputs(design);
    for (const kind of ['json', 'csv', 'boundary', 'html'])
      assert.equal(withoutDate(kind, files[kind]), withoutDate(kind, expected[kind]), kind);
    const json = JSON.parse(expected.json);
    assert.equal(table.sentence, json.sentence);
    assert.equal(table.phi_star_value, json.phi_star);
    assert.deepEqual(table.decision, json.decision_table.map((row) => [row.from, row.to, row.b]));
  });
}

test('each invalid field gives the program\'s message, and only that field', () => {
  for (const { field, value } of INVALID) {
    const result = run({ ...DESIGNS[0], [field]: value });
    assert.equal(result.ok, false, `${field} = ${value}`);
    assert.deepEqual(result.errors, [{ field, message: programMessage(DESIGNS[0], field, value) }], `${field} = ${value}`);
  }
});

test('every invalid field is reported at once, in the form\'s order', () => {
  const result = run({ K: '0', theta: 'abc', phi: '0.1', 'min-events': 'x' });
  assert.deepEqual(result.errors.map((error) => error.field), ['K', 'theta', 'min-events']);
});

test('a failed design leaves nothing to finish', () => {
  assert.equal(run({ ...DESIGNS[0], K: '' }).ok, false);
  assert.equal(call('contmon_web_finish').ok, false);
});
