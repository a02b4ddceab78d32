// A movie edited as XML text plays its edit: the string an ActionScript 3 frame script traces,
// changed in the bytecode's constant pool, is the line the compiled movie traces.
import assert from "node:assert/strict";
import { after, before, test } from "node:test";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { Harness } from "./harness.mjs";
import { cliPath, corpusMovie, sleep, tempDir } from "./lib/testing.mjs";

let h;
let temp;
before(async () => {
  temp = tempDir("tw-e2e-xml-abc-");
  h = await Harness.start();
});
after(async () => {
  await h?.close();
  temp?.cleanup();
});

test("an edited string of the ActionScript 3 pool is what the movie traces", { timeout: 60000 }, async () => {
  const cli = cliPath();
  const xml = path.join(temp.dir, "hello.xml");
  execFileSync(cli, ["swf", "to-xml", corpusMovie("avm2__hello_world__test.swf"), "-o", xml]);
  const text = fs.readFileSync(xml, "utf8");
  const original = '<String Value="Hello world!"/>';
  assert.ok(text.includes(original), "the text shows the traced string in the pool");
  fs.writeFileSync(xml, text.replace(original, '<String Value="Hello from the text, caf\u00e9!"/>'));
  const swf = path.join(temp.dir, "hello.swf");
  execFileSync(cli, ["swf", "from-xml", xml, "-o", swf]);

  const session = await h.openMovie(swf);
  try {
    await session.waitForTrace("Hello from the text, caf\u00e9!", { timeoutMs: 15000 });
    await sleep(600);  // a repeated or extra line would show by now
    assert.deepEqual(session.traces, ["Hello from the text, caf\u00e9!"]);
    assert.deepEqual(session.errors, []);
  } finally {
    await session.close();
  }
});
