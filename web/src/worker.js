// The worker: starts the module once, then answers the latest request with the design's rule and table, and
// then, unless a newer request came meanwhile, with its pictures and files.
const contmon = createContmon();
let latest = null;

function answer(module) {
  const request = latest;
  latest = null;
  if (!request) return;
  let started = performance.now();
  const table = module.ccall('contmon_web_run', 'string', ['string'], [JSON.stringify(request.fields)]);
  self.postMessage({ id: request.id, part: 'table', text: table, ms: performance.now() - started });
  if (!JSON.parse(table).ok) return;
  // Requests that arrived meanwhile are read first: a stale design is not finished.
  setTimeout(() => {
    if (latest) {
      answer(module);
      return;
    }
    started = performance.now();
    const files = module.ccall('contmon_web_finish', 'string', [], []);
    self.postMessage({ id: request.id, part: 'files', text: files, ms: performance.now() - started });
  }, 0);
}

self.onmessage = async (event) => {
  latest = event.data;
  const module = await contmon;
  setTimeout(() => answer(module), 0);
};
