'use strict';
// The page: reads the form (or the address's fragment), asks the worker for the design's outputs and shows
// them. The worker computes with the library; this script only places its texts.
(() => {
  // The form's fields by the command line's option names, which the fragment uses too.
  const FIELDS = ['K', 'theta', 'phi', 'shape', 'constant', 'compare', 'cohort', 'looks', 'start', 'min-events', 'rates',
    'alternative', 'find-k', 'accrual', 'window'];
  // The fields typed as they are, by option name and element id.
  const TEXT_FIELDS = ['K', 'theta', 'phi', 'constant', 'compare', 'start', 'min-events', 'rates', 'alternative', 'find-k',
    'accrual', 'window'];
  // The four parameters of the Chen-Chaloner shape, each in a field of its own: cc:A,B,P1,NU.
  const CC_FIELDS = ['cc-a', 'cc-b', 'cc-p1', 'cc-nu'];
  const SHAPE_PARAMETER = {
    wt: ['DELTA', 'From 0 (Pocock-like) to 0.5 (O\'Brien-Fleming-like), e.g. 0.25.'],
    bayes: ['Prior A,B', 'The Beta prior\'s two parameters, e.g. 1,1.'],
    sprt: ['P1 of the test', 'The unacceptable event probability tested against THETA, above it.'],
  };
  const DEFAULT_DESIGN = { K: '40', theta: '0.2', phi: '0.1' };
  const $ = (id) => document.getElementById(id);
  const body = document.body;
  let shapeAsTyped = null;  // a shape from the address that the list does not have

  // ---- The form and the fragment ----------------------------------------------------------------------

  function showScheduleFields() {
    const schedule = $('schedule').value;
    $('cohort-field').hidden = schedule !== 'cohort';
    $('looks-field').hidden = schedule !== 'list';
    const kind = $('shape-kind').value;
    const parameter = SHAPE_PARAMETER[kind];
    $('shape-param-field').hidden = !parameter;
    $('cc-fields').hidden = kind !== 'cc';
    if (parameter) {
      $('shape-param-label').textContent = parameter[0];
      $('shape-param-help').textContent = parameter[1];
    }
  }

  // The design's texts as typed, by option name; fields not in use are left out.
  function readForm() {
    const values = {};
    for (const id of TEXT_FIELDS) values[id] = $(id).value.trim();
    const kind = $('shape-kind').value;
    const parameter = kind === 'cc' ? CC_FIELDS.map((id) => $(id).value.trim()).join(',') : $('shape-param').value.trim();
    const given = kind === 'cc' ? parameter !== ',,,' : SHAPE_PARAMETER[kind] && parameter !== '';
    values.shape = shapeAsTyped ?? (given ? `${kind}:${parameter}` : kind);
    const schedule = $('schedule').value;
    values.cohort = schedule === 'cohort' ? $('cohort').value.trim() : '';
    values.looks = schedule === 'list' ? $('looks').value.trim() : '';
    return values;
  }

  function fillForm(values) {
    for (const id of TEXT_FIELDS) $(id).value = values[id] || '';
    const shape = values.shape || 'pocock';
    const colon = shape.indexOf(':');
    const kind = colon < 0 ? shape : shape.slice(0, colon);
    const known = [...$('shape-kind').options].some((option) => option.value === kind);
    // A shape the list lacks is kept as typed until the shape is chosen again, so that the library's message
    // names it.
    shapeAsTyped = known ? null : shape;
    $('shape-kind').value = known ? kind : 'pocock';
    const parameter = known && colon >= 0 ? shape.slice(colon + 1) : '';
    const ccParameters = kind === 'cc' ? parameter.split(',') : [];
    // More than four parameters stay in the last field, so that the library's message sees them all.
    if (ccParameters.length > 4) ccParameters.splice(3, Infinity, ccParameters.slice(3).join(','));
    CC_FIELDS.forEach((id, i) => { $(id).value = ccParameters[i] ?? ''; });
    $('shape-param').value = kind === 'cc' ? '' : parameter;
    $('schedule').value = values.looks ? 'list' : values.cohort ? 'cohort' : 'every';
    $('cohort').value = values.cohort || '';
    $('looks').value = values.looks || '';
    showScheduleFields();
  }

  // The fragment of a design: its non-empty fields in the form's order, the default shape left out.
  function fragmentOf(values) {
    const parts = [];
    for (const name of FIELDS) {
      const value = values[name];
      if (!value || (name === 'shape' && value === 'pocock')) continue;
      parts.push(`${name}=${encodeURIComponent(value).replace(/%3A/gi, ':').replace(/%2C/gi, ',')}`);
    }
    return `#${parts.join('&')}`;
  }

  function valuesOfFragment(hash) {
    const values = {};
    for (const part of hash.replace(/^#/, '').split('&')) {
      const equals = part.indexOf('=');
      if (equals <= 0) continue;
      const name = part.slice(0, equals);
      let value = part.slice(equals + 1);
      try {
        value = decodeURIComponent(value.replace(/\+/g, ' '));
      } catch (error) {
        // A malformed escape is kept as typed; the library's message shows it.
      }
      if (FIELDS.includes(name)) values[name] = value;
    }
    return values;
  }

  // ---- The worker ---------------------------------------------------------------------------------------

  const workerUrl = URL.createObjectURL(new Blob([$('worker-source').textContent], { type: 'text/javascript' }));
  const worker = new Worker(workerUrl);
  let sent = 0;  // the number of the last request; answers to earlier ones are dropped
  // When the last request was made, when its table and its files were shown, and the worker's times.
  const timing = { requested: 0, tableShown: 0, shown: 0, tableMs: 0, filesMs: 0 };
  window.contmonTiming = timing;

  function compute() {
    body.dataset.state = 'computing';
    $('status').textContent = 'Computing\u2026';
    timing.requested = performance.now();
    sent += 1;
    worker.postMessage({ id: sent, fields: readForm() });
  }

  worker.onmessage = (event) => {
    const { id, part, text, ms } = event.data;
    if (id !== sent) return;
    if (part === 'table') {
      timing.tableMs = ms;
      showTable(JSON.parse(text));
      timing.tableShown = performance.now();
    } else {
      timing.filesMs = ms;
      showFiles(JSON.parse(text));
      timing.shown = performance.now();
    }
  };
  worker.onerror = (event) => {
    body.dataset.state = 'error';
    $('status').textContent = '';
    $('error').textContent = `The computation failed: ${event.message || 'unknown error'}`;
    $('outputs').hidden = true;
  };

  // ---- The results --------------------------------------------------------------------------------------

  const downloads = {
    'download-boundary': ['boundary', 'text/plain'],
    'download-json': ['json', 'application/json'],
    'download-csv': ['csv', 'text/csv'],
    'download-html': ['html', 'text/html'],
  };

  function clearErrors() {
    for (const element of document.querySelectorAll('.error-text')) element.textContent = '';
    for (const element of document.querySelectorAll('[aria-invalid]')) element.removeAttribute('aria-invalid');
  }

  function rowOf(cells) {
    const tr = document.createElement('tr');
    for (const cell of cells) {
      const td = document.createElement('td');
      td.textContent = String(cell);
      tr.append(td);
    }
    return tr;
  }

  function showTable(result) {
    clearErrors();
    $('status').textContent = '';
    if (!result.ok) {
      for (const { field, message } of result.errors) {
        const target = $(`${field}-error`);
        if (target) target.textContent = message;
        const shapeInputs = $('shape-kind').value === 'cc' ? CC_FIELDS.map($) : [$('shape-param')];
        for (const input of field === 'shape' ? shapeInputs : [$(field)]) input?.setAttribute('aria-invalid', 'true');
      }
      $('error').textContent = result.errors.length ? result.errors[0].message : '';
      $('outputs').hidden = true;
      body.dataset.state = 'error';
      return;
    }
    $('error').textContent = '';
    $('sentence').textContent = result.sentence;
    $('copied').textContent = '';
    $('phi-star').textContent = result.phi_star;
    $('phi-star').dataset.value = String(result.phi_star_value);
    $('warning').textContent = result.warning ?? '';
    $('arguments').textContent = `contmon-exact ${result.arguments}`;

    // The tables of characteristics and of trial conduct, and the observed rates, are the report page's own.
    const report = new DOMParser().parseFromString(result.html, 'text/html');
    const observed = [...report.querySelectorAll('table.decision tbody tr')].map((tr) => tr.cells[2].textContent);
    $('decision-table').tBodies[0].replaceChildren(...result.decision.map((row, i) => rowOf([...row, observed[i] ?? ''])));
    const [oc, conduct] = [...report.querySelectorAll('table.oc')].map((table) => document.importNode(table, true));
    oc.id = 'oc-table';
    oc.setAttribute('aria-labelledby', 'oc-title');
    $('oc-box').replaceChildren(oc);
    $('conduct-section').hidden = !conduct;
    if (conduct) {
      conduct.id = 'conduct-table';
      conduct.setAttribute('aria-labelledby', 'conduct-title');
      $('conduct-box').replaceChildren(conduct);
    } else {
      $('conduct-box').replaceChildren();
    }
    $('search-section').hidden = !result.search;
    $('search').textContent = result.search ?? '';
    // With other shapes, the comparison page's table.
    const comparison = result.comparison_html &&
      new DOMParser().parseFromString(result.comparison_html, 'text/html').querySelector('table.oc');
    $('comparison-section').hidden = !comparison;
    $('comparison-box').replaceChildren(...(comparison ? [document.importNode(comparison, true)] : []));
    if (comparison) {
      $('comparison-box').firstChild.id = 'comparison-table';
      $('comparison-box').firstChild.setAttribute('aria-labelledby', 'comparison-title');
    }
    // The looks at THETA: n, b, and the probabilities as --by-look writes them, to four decimals.
    const looks = (result.looks_csv ?? '').split('\n').slice(1).filter((line) => line !== '').map((line) => line.split(','));
    $('looks-section').hidden = looks.length === 0;
    $('looks-table').tBodies[0].replaceChildren(...looks.map(([, n, b, at, by]) =>
      rowOf([n, b, Number(at).toFixed(4), Number(by).toFixed(4)])));
    $('picture').replaceChildren();
    for (const id of Object.keys(downloads)) {
      if ($(id).href.startsWith('blob:')) URL.revokeObjectURL($(id).href);
      $(id).removeAttribute('href');
    }
    $('status').textContent = 'Drawing the pictures\u2026';
    $('outputs').hidden = false;
  }

  // The pictures and the files to download, once the curve is computed.
  function showFiles(result) {
    $('status').textContent = '';
    const svg = result.svg.slice(Math.max(0, result.svg.indexOf('<svg')));
    const picture = new DOMParser().parseFromString(svg, 'image/svg+xml').documentElement;
    $('picture').replaceChildren(document.importNode(picture, true));
    for (const [id, [key, type]] of Object.entries(downloads)) {
      const link = $(id);
      link.href = URL.createObjectURL(new Blob([result[key]], { type }));
    }
    body.dataset.state = 'done';
  }

  // ---- Events -------------------------------------------------------------------------------------------

  // The address follows the form. Edits less than BURST_MS apart (a design typed field after field) make one
  // history entry, so that Back returns to the design before them.
  const BURST_MS = 1500;
  let fragmentTimer = 0;
  let lastEntry = -Infinity;
  function updateFragment() {
    clearTimeout(fragmentTimer);
    const fragment = fragmentOf(readForm());
    if (fragment === location.hash || (fragment === '#' && location.hash === '')) return;
    const now = performance.now();
    if (now - lastEntry < BURST_MS) history.replaceState(null, '', fragment);
    else history.pushState(null, '', fragment);
    lastEntry = now;
  }

  $('design').addEventListener('input', (event) => {
    if (event.target.id.startsWith('shape') || event.target.id.startsWith('cc-')) shapeAsTyped = null;
    showScheduleFields();
    compute();
    clearTimeout(fragmentTimer);
    fragmentTimer = setTimeout(updateFragment, 500);
  });
  $('design').addEventListener('change', updateFragment);
  $('design').addEventListener('submit', (event) => event.preventDefault());

  function fromAddress() {
    clearTimeout(fragmentTimer);
    lastEntry = -Infinity;
    const values = valuesOfFragment(location.hash);
    fillForm(Object.keys(values).length ? values : DEFAULT_DESIGN);
    compute();
  }
  window.addEventListener('popstate', fromAddress);
  window.addEventListener('hashchange', fromAddress);

  $('copy-sentence').addEventListener('click', async () => {
    const text = $('sentence').textContent;
    try {
      await navigator.clipboard.writeText(text);
    } catch (error) {
      const range = document.createRange();
      range.selectNodeContents($('sentence'));
      getSelection().removeAllRanges();
      getSelection().addRange(range);
      document.execCommand('copy');
    }
    $('copied').textContent = 'Copied.';
  });

  fromAddress();
})();
