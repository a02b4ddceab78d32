// The harness itself: it stays offline and inside its folders, says at once why a movie does not
// load, and its command line is a test a script can run.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { after, before, describe, test } from "node:test";
import { Harness, RUFFLE_DIR, startServer } from "./harness.mjs";
import { readPng } from "./lib/png.mjs";
import { writeMouseMovie } from "./lib/swf-fixtures.mjs";
import { corpusMovie, tempDir } from "./lib/testing.mjs";

const HERE = path.dirname(fileURLToPath(import.meta.url));
const RUN_MOVIE = path.join(HERE, "run-movie.mjs");

// A GET of a raw path, which no URL parser has cleaned up.
function rawGet(origin, rawPath) {
  const { hostname, port } = new URL(origin);
  return new Promise((resolve, reject) => {
    const req = http.request({ hostname, port, path: rawPath, method: "GET", timeout: 5000 }, (res) => {
      const chunks = [];
      res.on("data", (c) => chunks.push(c));
      res.on("end", () => resolve({ status: res.statusCode, type: res.headers["content-type"], body: Buffer.concat(chunks) }));
    });
    req.on("timeout", () => req.destroy(new Error("request timed out")));
    req.on("error", reject);
    req.end();
  });
}

function runMovie(args) {
  return new Promise((resolve) => {
    execFile(process.execPath, [RUN_MOVIE, ...args], { timeout: 60000 }, (error, stdout, stderr) => {
      resolve({ code: error ? error.code : 0, stdout, stderr });
    });
  });
}

describe("the local server", () => {
  let server;
  let temp;
  let prefix;
  before(async () => {
    temp = tempDir();
    fs.mkdirSync(path.join(temp.dir, "served"));
    fs.writeFileSync(path.join(temp.dir, "served", "page.html"), "<html><head><title>t</title></head><body>hi</body></html>");
    fs.writeFileSync(path.join(temp.dir, "served", "own.html"),
      '<html>\r\n<head>\r\n<title>t</title>\r\n<script src="ruffle/ruffle.js"></script>\r\n</head></html>');
    fs.writeFileSync(path.join(temp.dir, "served", "linked.html"),
      '<html><head><script src="https://example.com/ruffle/ruffle.js"></script></head></html>');
    fs.writeFileSync(path.join(temp.dir, "secret.txt"), "not for the browser");
    server = await startServer();
    prefix = new URL(server.mount(path.join(temp.dir, "served"), { injectRuffle: true })).pathname;
  });
  after(async () => {
    await server?.close();
    temp?.cleanup();
  });

  test("listens on 127.0.0.1 only", () => {
    assert.match(server.origin, /^http:\/\/127\.0\.0\.1:\d+$/);
  });

  const OUTSIDE = [
    ["a parent folder", "../secret.txt"],
    ["an encoded parent folder", "%2e%2e/secret.txt"],
    ["an encoded slash", "..%2fsecret.txt"],
    ["an absolute path", "%2fetc%2fpasswd"],
    ["a bad escape", "%zz"],
  ];
  for (const [name, rel] of OUTSIDE) {
    test(`serves nothing outside its folder: ${name}`, async () => {
      const res = await rawGet(server.origin, prefix + rel);
      assert.ok(res.status === 404 || res.status === 400, `status ${res.status}`);
      assert.ok(!res.body.toString().includes("not for the browser"));
    });
  }

  test("serves Ruffle's files with the types a browser insists on", async () => {
    const wasm = fs.readdirSync(RUFFLE_DIR).find((f) => f.endsWith(".wasm"));
    const res = await rawGet(server.origin, `/__tw/ruffle/${wasm}`);
    assert.equal(res.status, 200);
    assert.equal(res.type, "application/wasm");
    assert.equal(res.body.subarray(0, 4).toString("latin1"), "\0asm");
  });

  test("puts Ruffle into the pages it serves, before anything of the page", async () => {
    const res = await rawGet(server.origin, `${prefix}page.html`);
    const html = res.body.toString();
    assert.match(html, /^<html><head><script>window\.RufflePlayer = .*"logLevel":"info".*<\/script><script src="\/__tw\/ruffle\/ruffle\.js"><\/script><title>t<\/title>/s);
  });

  test("gives a page with its own copy of Ruffle only the configuration", async () => {
    const own = (await rawGet(server.origin, `${prefix}own.html`)).body.toString();
    assert.match(own, /^<html>\r\n<head><script>window\.RufflePlayer = .*"logLevel":"info".*<\/script>\r\n<title>/s);
    assert.ok(!own.includes("/__tw/ruffle/ruffle.js"));
    // A page that links the emulator elsewhere would get none (the link is blocked): ours goes in.
    const linked = (await rawGet(server.origin, `${prefix}linked.html`)).body.toString();
    assert.ok(linked.includes('<script src="/__tw/ruffle/ruffle.js">'));
  });
});

describe("the browser", () => {
  let h;
  let temp;
  before(async () => {
    temp = tempDir();
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  test("reaches nothing but the harness's own server", { timeout: 60000 }, async () => {
    writeMouseMovie(temp.dir);
    const file = path.join(temp.dir, "net.html");
    // Another loopback address: a request that got through would still stay on this machine.
    fs.writeFileSync(
      file,
      `<!DOCTYPE html><html><head><title>n</title></head><body><script>
fetch("http://127.0.0.2:9/elsewhere").then(() => { window.fetched = "reached"; }, () => { window.fetched = "failed"; });
</script><embed src="mouse.swf" width="200" height="100"></body></html>`,
    );
    const session = await h.openHtml(file);
    try {
      const outcome = await session.page.waitForFunction(() => window.fetched, null, { timeout: 10000 });
      assert.equal(await outcome.jsonValue(), "failed");
      assert.deepEqual(session.blocked, ["http://127.0.0.2:9/elsewhere"]);
    } finally {
      await session.close();
    }
  });

  test("a file that is no movie fails at once with Ruffle's reason", { timeout: 60000 }, async () => {
    const file = path.join(temp.dir, "junk.swf");
    fs.writeFileSync(file, "this is text, not a movie");
    const started = Date.now();
    await assert.rejects(h.openMovie(file, { timeoutMs: 15000 }), /loading .*junk\.swf: error ".*Invalid SWF/);
    assert.ok(Date.now() - started < 10000, "it waited for the timeout");
  });

  test("a missing movie is an error", async () => {
    await assert.rejects(h.openMovie(path.join(temp.dir, "missing.swf")), /ENOENT/);
  });
});

describe("the command line", () => {
  let temp;
  before(() => {
    temp = tempDir();
  });
  after(() => temp?.cleanup());

  test("prints the traces and passes when the expected lines came", { timeout: 60000 }, async () => {
    const png = path.join(temp.dir, "shot.png");
    const { code, stdout } = await runMovie([
      corpusMovie("swfcrate__DefineButton2-CS6.swf"),
      "--wait", "800",
      "--click", "45,28@200",
      "--screenshot", png,
      "--expect-trace", "A",
      "--no-errors",
    ]);
    assert.equal(code, 0, stdout);
    const out = JSON.parse(stdout);
    assert.equal(out.ok, true);
    assert.deepEqual(out.traces, ["A"]);
    assert.deepEqual(out.screenshots, [png]);
    assert.equal(readPng(fs.readFileSync(png)).width, 550);
  });

  test("clicks when a line comes, waits for the expected lines and reads the stage's colours", { timeout: 60000 }, async () => {
    const movie = writeMouseMovie(temp.dir);
    const { code, stdout, stderr } = await runMovie([
      movie,
      "--wait", "0",
      "--click", "150,60@/^ready$/",
      "--click", "10,90@/^down 150 /",
      "--until-expected",
      "--expect-trace", "ready",
      "--expect-trace", "down 150 60",
      "--expect-trace", "down 10 90",
      "--expect-pixel", "100,50=0x309030",
      "--expect-pixel", "100,50=0x000000",
    ]);
    assert.equal(code, 1, stdout);
    const out = JSON.parse(stdout);
    assert.deepEqual(out.traces, ["ready", "down 150 60", "down 10 90"]);
    assert.deepEqual(out.failures, ["expected the colour 100,50=0x000000, the stage shows 0x309030 there"]);
    assert.match(stderr, /the stage shows 0x309030/);
  });

  test("fails with exit code 1 and says why when the traces differ", { timeout: 60000 }, async () => {
    const expected = path.join(temp.dir, "expected.txt");
    fs.writeFileSync(expected, "Testing!\nmore\n");
    const { code, stdout, stderr } = await runMovie([
      corpusMovie("swfcrate__DoAction-CS6.swf"),
      "--wait", "300",
      "--expect-traces", expected,
    ]);
    assert.equal(code, 1);
    assert.equal(JSON.parse(stdout).ok, false);
    assert.match(stderr, /traces differ from line 2: expected "more", got "<end>" \(1 lines, 2 expected\)/);
  });

  test("fails with exit code 2 on a wrong command line", async () => {
    for (const args of [[], ["a.swf", "--click", "12"], ["a.swf", "--click", "1,2@/(/"], ["a.swf", "--click", "1,2>3@5"], ["a.swf", "--click", "1,2~@5"], ["a.swf", "--wait", "soon"],
      ["a.swf", "--expect-pixel", "1,2=red"], ["a.swf", "--nonsense"], ["a.swf", "--renderer", "opengl"]]) {
      const { code, stderr } = await runMovie(args);
      assert.equal(code, 2, `${args.join(" ")}: ${stderr}`);
      assert.match(stderr, /^run-movie: /);
    }
  });
});
