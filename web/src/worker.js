// The worker: starts the module once, then answers the latest request with the design's rule and table, and
// then, unless a newer request came meanwhile, with its pictures and files.
let ready = createContmon();
let latest = null;

// Runs one call of the module and posts its answer; a failure (out of memory, say) is answered as an error of
// the design, and the module is started afresh for the next request.
function call(module, id, part, name, args) {
  const started = performance.now();
  let text;
  try {
    text = module.ccall(name, 'string', args.map(() => 'string'), args);
  } catch (error) {
    text = JSON.stringify({ ok: false, errors: [{ field: '', message: `The computation failed: ${error}` }] });
    ready = createContmon();
  }
  self.postMessage({ id, part, text, ms: performance.now() - started });
  return JSON.parse(text).ok;
}

async function answer() {
  const module = await ready;
  const request = latest;
  latest = null;
  if (!request) return;
  if (!call(module, request.id, 'table', 'contmon_web_run', [JSON.stringify(request.fields)])) return;
  // Requests that arrived meanwhile are read first: a stale design is not finished.
  setTimeout(() => {
    if (latest) answer();
    else call(module, request.id, 'files', 'contmon_web_finish', []);
  }, 0);
}

self.onmessage = (event) => {
  latest = event.data;
  setTimeout(answer, 0);
};
