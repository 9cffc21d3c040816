// The WebAssembly module alone, in node: for each design its outputs equal contmon-exact's (date aside), and
// each invalid field gives the program's message. CONTMON_MODULE names the built contmon-module.js.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { test } from 'node:test';

import { DESIGNS, INVALID, argumentsOf, programMessage, programOutputs, runProgram, withoutDate } from './cases.mjs';

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
    // A comparison's document holds one per shape; the page's tables are the first shape's.
    const document = JSON.parse(expected.json);
    const json = document.designs ? document.designs[0] : document;
    assert.equal(document.designs?.length, design.compare && 1 + design.compare.split(' ').filter((word) => word).length);
    assert.equal(table.sentence, json.sentence);
    assert.equal(table.phi_star_value, json.phi_star);
    assert.deepEqual(table.decision, json.decision_table.map((row) => [row.from, row.to, row.b]));
    // The command line shown gives the design back (the table's rates aside): the program run with it finds the
    // same rules, constants and PHI*, shape by shape.
    if (!design.compare) assert.equal(table.arguments, json.design);
    // A search for K: its lines as the program prints them, and the design of the K it found.
    if (design['find-k']) {
      const text = runProgram(['--no-output', ...argumentsOf(design)]).stdout;
      assert.ok(text.includes(table.search), table.search);
      assert.equal(json.design.split(' ').at(-3), String(json.smallest_k ?? json.best_k));
    } else {
      assert.equal(table.search, undefined);
    }
    const again = JSON.parse(runProgram(['--no-output', '--format', 'json', ...table.arguments.split(' ')]).stdout);
    const rules = (doc) => (doc.designs ?? [doc]).map(({ design: args, constant, phi_star: phiStar, boundary }) =>
      ({ args, constant, phiStar, boundary }));
    assert.deepEqual(rules(again), rules(document), table.arguments);
    // The looks at THETA: the boundary's looks and counts, the row's probabilities and their running sum.
    // Without a row at THETA (rates that leave it out) there is none.
    if (json.theta_row === null) return assert.equal(table.looks_csv, undefined);
    const atTheta = json.oc[json.theta_row];
    const looks = table.looks_csv.trim().split('\n').slice(1).map((line) => line.split(',').map(Number));
    assert.deepEqual(looks.map(([rate, n, b]) => [rate, n, b]), json.boundary.map(({ n, b }) => [atTheta.rate, n, b]));
    let by = 0;
    looks.forEach(([, , , at, byThen], i) => {
      by += atTheta.p_stop_at_look[i];
      assert.equal(at, atTheta.p_stop_at_look[i]);
      assert.ok(Math.abs(byThen - by) < 1e-12, `look ${i}: ${byThen} against ${by}`);
    });
    assert.ok(Math.abs(by - atTheta.p_stop) < 1e-12);
  });
}

test('each invalid field gives the program\'s message, and only that field', () => {
  for (const { field, value, with: others = {}, at = field } of INVALID) {
    const design = { ...DESIGNS[0], ...others };
    const result = run({ ...design, [field]: value });
    assert.equal(result.ok, false, `${field} = ${value}`);
    assert.deepEqual(result.errors, [{ field: at, message: programMessage(design, field, value) }], `${field} = ${value}`);
  }
});

test('every invalid field is reported at once, in the form\'s order', () => {
  const result = run({ K: '0', theta: 'abc', phi: '0.1', 'min-events': 'x' });
  assert.deepEqual(result.errors.map((error) => error.field), ['K', 'theta', 'min-events']);
});

test('PHI may be left empty only with a fixed constant', () => {
  const withoutPhi = { K: '40', theta: '0.2', phi: '' };
  assert.deepEqual(run(withoutPhi).errors, [{ field: 'phi', message: programMessage({ K: '40', theta: '0.2', phi: '0.1' }, 'phi', '') }]);
  const fixed = run({ ...withoutPhi, constant: '0.05' });
  assert.equal(fixed.ok, true, JSON.stringify(fixed.errors));
  assert.equal(fixed.arguments, '--constant 0.05 40 0.2');
});

test('a failed design leaves nothing to finish', () => {
  assert.equal(run({ ...DESIGNS[0], K: '' }).ok, false);
  assert.equal(call('contmon_web_finish').ok, false);
});
