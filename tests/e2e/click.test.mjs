// Clicks land where the test says on the stage, whatever the player's size and place on the page.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { writeMouseMovie } from "./lib/swf-fixtures.mjs";
import { corpusMovie, sleep, tempDir } from "./lib/testing.mjs";

// How long a click has to show in the traces: several frames at 24 fps.
const SETTLE_MS = 500;

describe("clicking on the stage", () => {
  let h;
  let temp;
  let mouseMovie;
  before(async () => {
    temp = tempDir();
    mouseMovie = writeMouseMovie(temp.dir); // a 200 x 100 stage that traces "down X Y"
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  // swfcrate__DefineButton2-CS6.swf places at (10, 10) a button of 72 x 39 pixels (shapes from
  // -0.5 to 71.5 and 38.5) whose release action traces "A" (its other action, "B", is for a key).
  test("a corpus button traces on a click on it, and only then", { timeout: 60000 }, async () => {
    const session = await h.openMovie(corpusMovie("swfcrate__DefineButton2-CS6.swf"));
    try {
      await session.clickStage(300, 200);
      await session.clickStage(100, 30);
      await sleep(SETTLE_MS);
      assert.deepEqual(session.traces, [], "a click beside the button");
      await session.clickStage(45, 28);
      await session.waitForTrace("A");
      await sleep(SETTLE_MS);
      assert.deepEqual(session.traces, ["A"]);
      assert.deepEqual(session.errors, []);
    } finally {
      await session.close();
    }
  });

  test("the timeline of playMovie clicks at its times", { timeout: 60000 }, async () => {
    const result = await h.playMovie(corpusMovie("swfcrate__DefineButton2-CS6.swf"), {
      clicks: [{ x: 45, y: 28, atMs: 200 }, { x: 300, y: 300, atMs: 400 }, { x: 20, y: 40, atMs: 600 }],
      waitMs: 1200,
    });
    assert.deepEqual(result.traces, ["A", "A"]);
    assert.ok(result.traceTimes[0] >= 200 && result.traceTimes[1] >= 600, `times ${result.traceTimes}`);
  });

  // Player sizes that scale the 200 x 100 stage: the stage is fitted and centred ("showAll").
  const SIZES = [
    { name: "the stage's own size", width: undefined, height: undefined },
    { name: "twice the stage", width: 400, height: 200 },
    { name: "wider than the stage (bars left and right)", width: 500, height: 100 },
    { name: "taller than the stage (bars above and below)", width: 200, height: 300 },
  ];
  const POINTS = [[150, 60], [10, 90], [199, 1]];

  for (const size of SIZES) {
    test(`stage positions in a player of ${size.name}`, { timeout: 60000 }, async () => {
      const session = await h.openMovie(mouseMovie, { width: size.width, height: size.height });
      try {
        await session.waitForTrace("ready");
        for (const [x, y] of POINTS) {
          const from = session.traces.length;
          await session.clickStage(x, y);
          const { line } = await session.waitForTrace(/^down /, { from });
          const [, gotX, gotY] = line.split(" ").map(Number);
          assert.ok(Math.abs(gotX - x) <= 1 && Math.abs(gotY - y) <= 1, `clicked (${x}, ${y}), movie saw "${line}"`);
        }
      } finally {
        await session.close();
      }
    });
  }

  // Pages as our program will publish them: the movie in an <object> with an <embed> inside,
  // somewhere on the page, sized and scaled by its attributes.
  const PAGES = [
    {
      name: "an <object>/<embed> at an offset, twice the stage size",
      body: `<div style="margin:37px 0 0 53px">
<object classid="clsid:d27cdb6e-ae6d-11cf-96b8-444553540000" width="400" height="200">
<param name="movie" value="mouse.swf"><embed src="mouse.swf" width="400" height="200" type="application/x-shockwave-flash">
</object></div>`,
    },
    {
      name: "an <embed> alone, unscaled and top-left aligned in a larger box",
      body: `<p style="margin:0;height:21px">above</p>
<embed src="mouse.swf" width="500" height="300" scale="noscale" salign="tl" type="application/x-shockwave-flash">`,
    },
  ];

  for (const page of PAGES) {
    test(`stage positions on a page with ${page.name}`, { timeout: 60000 }, async () => {
      const file = path.join(temp.dir, "page.html");
      fs.writeFileSync(
        file,
        `<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>player</title>` +
          `<style>body{margin:0}</style></head><body>\n${page.body}\n</body></html>\n`,
      );
      const session = await h.openHtml(file);
      try {
        assert.equal(session.metadata.width, 200);
        await session.waitForTrace("ready");
        for (const [x, y] of POINTS) {
          const from = session.traces.length;
          await session.clickStage(x, y);
          const { line } = await session.waitForTrace(/^down /, { from });
          const [, gotX, gotY] = line.split(" ").map(Number);
          assert.ok(Math.abs(gotX - x) <= 1 && Math.abs(gotY - y) <= 1, `clicked (${x}, ${y}), movie saw "${line}"`);
        }
        assert.deepEqual(session.errors, []);
      } finally {
        await session.close();
      }
    });
  }
});
