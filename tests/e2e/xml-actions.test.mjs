// Actions edited as XML play as edited: a corpus movie whose trace text was changed in its XML,
// and a hand-written movie whose If was sent to another label, compiled with
// `tunewright-cli swf from-xml` and played in the Flash runtime.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { execFile } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { promisify } from "node:util";
import { Harness } from "./harness.mjs";
import { cliPath, corpusMovie, sleep, tempDir } from "./lib/testing.mjs";

const run = promisify(execFile);
const SETTLE_MS = 600;

// Jumps over the first trace when the If goes to L1; over both when it goes to L2.
const BRANCHES = `<?xml version="1.0" encoding="UTF-8"?>
<SWF Version="8" Compressed="false" FrameRate="12" FrameCount="1">
  <FrameSize Xmin="0" Xmax="4000" Ymin="0" Ymax="3000"/>
  <DoAction>
    <Push>
      <Boolean Value="true"/>
    </Push>
    <If Label="L1"/>
    <Push>
      <String Value="not jumped over"/>
    </Push>
    <Trace/>
    <Label Name="L1"/>
    <Push>
      <String Value="after L1"/>
    </Push>
    <Trace/>
    <Label Name="L2"/>
    <Push>
      <String Value="end"/>
    </Push>
    <Trace/>
    <Stop/>
  </DoAction>
  <ShowFrame/>
  <End/>
</SWF>
`;

describe("actions edited as XML", () => {
  let h;
  let temp;
  const cli = cliPath();
  before(async () => {
    temp = tempDir("tw-e2e-xml-actions-");
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  // Writes the text, compiles it and plays the movie until the last line, then a while longer.
  async function play(name, xml, last) {
    const xmlFile = path.join(temp.dir, `${name}.xml`);
    const swfFile = path.join(temp.dir, `${name}.swf`);
    fs.writeFileSync(xmlFile, xml);
    await run(cli, ["swf", "from-xml", xmlFile, "-o", swfFile]);
    const session = await h.openMovie(swfFile);
    try {
      await session.waitForTrace(last, { timeoutMs: 15000 });
      await sleep(SETTLE_MS);
      assert.deepEqual(session.errors, []);
      return session.traces;
    } finally {
      await session.close();
    }
  }

  test("a trace text changed in a corpus movie's XML is traced", { timeout: 60000 }, async () => {
    // Frame 1 traces "frame1", frame 2 "frame2", then sprite 2 traces "sym1".
    const { stdout } = await run(cli, ["swf", "to-xml", corpusMovie("from_shumway__avm1timeline1__test.swf")]);
    assert.ok(stdout.includes('<String Value="frame2"/>'), "the pushed string is an element of its own");
    const edited = stdout.replace('<String Value="frame2"/>', '<String Value="the second frame, edited"/>');
    assert.deepEqual(await play("timeline", edited, "sym1"), ["frame1", "the second frame, edited", "sym1"]);
  });

  test("an If sent to another label jumps there", { timeout: 60000 }, async () => {
    assert.deepEqual(await play("to-l1", BRANCHES, "end"), ["after L1", "end"]);
    const moved = BRANCHES.replace('<If Label="L1"/>', '<If Label="L2"/>');
    assert.deepEqual(await play("to-l2", moved, "end"), ["end"]);
  });
});
