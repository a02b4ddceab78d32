// Movies' trace() output reaches the test: corpus movies trace exactly the lines their actions
// say, no more (nothing repeated, nothing lost).
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import fs from "node:fs";
import path from "node:path";
import { Harness } from "./harness.mjs";
import { doAction, movie, op, push, showFrame } from "./lib/swf-fixtures.mjs";
import { corpusMovie, sleep, tempDir } from "./lib/testing.mjs";

// Each expectation is read off the movie's own action bytes (the comments say which).
const CASES = [
  {
    movie: "swfcrate__DoAction-CS6.swf",
    // One DoAction: push "Testing!", trace.
    traces: ["Testing!"],
  },
  {
    movie: "swfcrate__DoInitAction-CS6.swf",
    // DoInitAction of sprite 2: push "test", trace; the sprite's own frame script is empty.
    traces: ["test"],
  },
  {
    movie: "avm1__single_frame__test.swf",
    // A one-frame root traces "root" and calls play(): a one-frame timeline does not advance,
    // so its script runs once however long the movie plays.
    traces: ["root"],
  },
  {
    movie: "from_shumway__avm1timeline1__test.swf",
    // Frame 1 traces "frame1"; frame 2 traces "frame2" and stops, then places sprite 2 whose
    // own first frame traces "sym1".
    traces: ["frame1", "frame2", "sym1"],
  },
  {
    movie: "avm2__hello_world__test.swf",
    // ActionScript 3: the main timeline's frame script traces "Hello world!".
    traces: ["Hello world!"],
  },
];

// How long to keep playing after the last expected line, so that a repeated or extra line shows:
// a dozen frames or more at these movies' frame rates.
const SETTLE_MS = 600;

describe("trace output of corpus movies", () => {
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

  for (const c of CASES) {
    test(c.movie, { timeout: 60000 }, async () => {
      const session = await h.openMovie(corpusMovie(c.movie));
      try {
        await session.waitForTrace(c.traces.at(-1), { timeoutMs: 15000 });
        await sleep(SETTLE_MS);
        assert.deepEqual(session.traces, c.traces);
        assert.deepEqual(session.errors, []);
      } finally {
        await session.close();
      }
    });
  }

  test("awkward lines arrive as traced: several lines in one, empty, spaces, console format codes", async () => {
    const lines = ["two\nlines", "", "  leading spaces", "%c%s 50% off", "tab\there", "last"];
    const file = path.join(temp.dir, "lines.swf");
    fs.writeFileSync(
      file,
      movie({
        frameCount: 1,
        tags: [doAction(...lines.flatMap((l) => [push(l), op.trace]), op.stop), showFrame()],
      }),
    );
    const session = await h.openMovie(file);
    try {
      await session.waitForTrace("last");
      assert.deepEqual(session.traces, ["two", "lines", "", "  leading spaces", "%c%s 50% off", "tab\there", "last"]);
    } finally {
      await session.close();
    }
  });

  test("trace times count from the moment the movie was ready", async () => {
    const session = await h.openMovie(corpusMovie("from_shumway__avm1timeline1__test.swf"));
    try {
      const { atMs } = await session.waitForTrace("sym1");
      // The frames run at 24 fps: "sym1" comes in frame 2, within a few frames of the start.
      assert.ok(atMs < 2000, `sym1 traced ${atMs} ms after the movie was ready`);
      const times = session.traceTimes;
      assert.equal(times.length, session.traces.length);
      assert.deepEqual([...times].sort((a, b) => a - b), times);
    } finally {
      await session.close();
    }
  });

  test("waiting for a line that never comes fails with what was traced", async () => {
    const session = await h.openMovie(corpusMovie("swfcrate__DoAction-CS6.swf"));
    try {
      await assert.rejects(
        session.waitForTrace(/never traced/, { timeoutMs: 700 }),
        /timed out after 700 ms while waiting for a trace matching \/never traced\/; traces so far: \["Testing!"\]/,
      );
    } finally {
      await session.close();
    }
  });
});
