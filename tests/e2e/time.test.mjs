// Time runs in the harness as in a browser with sound: a movie with a stream sound advances its
// frames at its frame rate, and sound positions grow with the wall clock.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { writeClockMovie } from "./lib/swf-fixtures.mjs";
import { sleep, tempDir } from "./lib/testing.mjs";

const FRAME_RATE = 25;
// Frames before this one are left out of rates: the first frames run as the movie starts.
const FIRST_MEASURED = 10;
const LAST_MEASURED = 60;
// How far a rate may stray from the expected one on a busy two-core machine.
const TOLERANCE = 0.25;

function within(actual, expected, what) {
  assert.ok(
    Math.abs(actual - expected) <= expected * TOLERANCE,
    `${what}: ${actual.toFixed(3)}, expected ${expected.toFixed(3)} within ${TOLERANCE * 100}%`,
  );
}

describe("time in a movie with a stream sound", () => {
  let h;
  let temp;
  let clock;
  before(async () => {
    temp = tempDir();
    clock = writeClockMovie(temp.dir, { seconds: 4, frameRate: FRAME_RATE });
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  test("frames advance at the frame rate and Sound.position grows with real time", { timeout: 60000 }, async () => {
    const session = await h.openMovie(clock.swfPath);
    try {
      await session.waitForTrace(new RegExp(`^tick ${LAST_MEASURED} `), { timeoutMs: 20000 });
      const wall = session.traceTimes;
      // "tick <frame> <getTimer ms> <event sound position ms> <loaded sound position ms>"
      const ticks = session.traces
        .map((line, i) => ({ fields: line.split(" "), wall: wall[i] }))
        .filter((t) => t.fields[0] === "tick")
        .map(({ fields, wall }) => ({
          frame: Number(fields[1]),
          timer: Number(fields[2]),
          event: Number(fields[3]),
          loaded: Number(fields[4]),
          wall,
        }));
      assert.deepEqual(session.errors, []);

      // Every frame runs once, in order.
      assert.deepEqual(ticks.map((t) => t.frame), Array.from({ length: ticks.length }, (_, i) => i + 1));
      const a = ticks[FIRST_MEASURED - 1];
      const b = ticks[LAST_MEASURED - 1];
      const seconds = (b.wall - a.wall) / 1000;

      // Frames per second of wall-clock time, and the movie's own clock against the wall.
      within((b.frame - a.frame) / seconds, FRAME_RATE, "frames per second");
      within((b.timer - a.timer) / 1000, seconds, "getTimer() seconds");

      // The event sound and the streamed MP3 play on the audio clock: their positions move as
      // the seconds pass and never go back. The MP3 comes over HTTP, so its position counts
      // from the frame it arrived by (undefined before).
      for (const key of ["event", "loaded"]) {
        const measured = ticks.slice(FIRST_MEASURED - 1, LAST_MEASURED);
        const from = measured.findIndex((t) => Number.isFinite(t[key]));
        assert.ok(from >= 0 && from <= measured.length - 1 - FRAME_RATE,
          `${key} sound has no position a second before frame ${LAST_MEASURED}: ${measured.map((t) => t[key])}`);
        const positions = measured.slice(from).map((t) => t[key]);
        assert.ok(positions.every(Number.isFinite), `${key} positions ${positions}`);
        assert.ok(positions.every((p, i) => i === 0 || p >= positions[i - 1]), `${key} positions go back: ${positions}`);
        const start = measured[from];
        within((b[key] - start[key]) / 1000, (b.wall - start.wall) / 1000, `${key} Sound.position seconds`);
      }
      assert.ok(b.event > 1500, `event sound at ${b.event} ms by frame ${LAST_MEASURED}`);
    } finally {
      await session.close();
    }
  });

  test("the page's audio clock runs", { timeout: 60000 }, async () => {
    const session = await h.openMovie(clock.swfPath);
    try {
      await session.waitForTrace(/^tick 5 /);
      const [first] = await session.audioClock();
      assert.ok(first, "Ruffle made no AudioContext");
      const before = Date.now();
      await sleep(1000);
      const [later] = await session.audioClock();
      const seconds = (Date.now() - before) / 1000;
      assert.equal(later.state, "running");
      within(later.currentTime - first.currentTime, seconds, "AudioContext seconds");
    } finally {
      await session.close();
    }
  });
});
