// Moves the mouse over a movie step by step and reports the stage's colours at given points
// after each step, with what the movie traced: how a test sees a button change its state.
//
//   node tests/e2e/pointer-movie.mjs MOVIE POINTS STEP...
//
// POINTS are stage positions "X,Y;X,Y..."; a STEP is "move:X,Y" (the mouse to a stage
// position), "down" or "up" (the left button), or "shot:FILE" (a PNG of the stage as it stands
// written to FILE; not a sample). The colours are taken once before the first step and once
// after each other step, when the stage has had time to redraw. Prints one line per sample,
// "colors R,G,B R,G,B ..." (a colour per point), then "trace LINE" per traced line and
// "error LINE" per error Ruffle reported.
import fs from "node:fs";
import path from "node:path";
import { withHarness } from "./harness.mjs";

// Several frames at any usual frame rate.
const SETTLE_MS = 400;

function usage(message) {
  process.stderr.write(`pointer-movie: ${message}\nusage: node pointer-movie.mjs MOVIE X,Y[;X,Y...] STEP...\n`);
  process.exit(2);
}

function point(text) {
  const m = /^(-?\d+(?:\.\d+)?),(-?\d+(?:\.\d+)?)$/.exec(text);
  if (!m) usage(`"${text}" is not X,Y`);
  return { x: Number(m[1]), y: Number(m[2]) };
}

const [movie, pointsText, ...stepTexts] = process.argv.slice(2);
if (!movie || !pointsText) usage("give a movie and points");
const points = pointsText.split(";").map(point);
const steps = stepTexts.map((s) => {
  if (s === "down" || s === "up") return { kind: s };
  if (s.startsWith("move:")) return { kind: "move", at: point(s.slice(5)) };
  if (s.startsWith("shot:") && s.length > 5) return { kind: "shot", file: s.slice(5) };
  return usage(`unknown step "${s}"`);
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const guard = setTimeout(() => {
  process.stderr.write("pointer-movie: gave up after 5 minutes\n");
  process.exit(2);
}, 5 * 60 * 1000);
guard.unref();

const result = await withHarness(async (h) => {
  const session = await h.openMovie(path.resolve(movie));
  try {
    const colors = [];
    await sleep(SETTLE_MS);
    colors.push(await session.stageColors(points));
    for (const step of steps) {
      if (step.kind === "shot") {
        fs.writeFileSync(step.file, await session.screenshot());
        continue;
      }
      if (step.kind === "move") {
        const p = await session.stageToPage(step.at.x, step.at.y);
        await session.page.mouse.move(p.x, p.y, { steps: 4 });
      } else if (step.kind === "down") {
        await session.page.mouse.down();
      } else {
        await session.page.mouse.up();
      }
      await sleep(SETTLE_MS);
      colors.push(await session.stageColors(points));
    }
    return { colors, traces: session.traces, errors: session.errors };
  } finally {
    await session.close();
  }
});
const lines = [
  ...result.colors.map((sample) => `colors ${sample.map((c) => c.slice(0, 3).join(",")).join(" ")}`),
  ...result.traces.map((t) => `trace ${t}`),
  ...result.errors.map((e) => `error ${String(e).replace(/\n/g, " ")}`),
];
process.stdout.write(lines.join("\n") + "\n");
