#!/usr/bin/env node
// Plays a movie or an HTML page in Ruffle and prints what happened as one JSON object; with
// expectations it is a test a script or ctest can run (exit 0 pass, 1 fail, 2 could not play).
import fs from "node:fs";
import path from "node:path";
import { parseArgs } from "node:util";
import { withHarness } from "./harness.mjs";

const USAGE = `usage: node run-movie.mjs MOVIE.swf|PAGE.html [options]
  --wait MS               play until MS after the movie is ready (default 1000)
  --until LINE            then wait until a trace line equals LINE
  --until-match REGEX     ... or matches REGEX
  --timeout MS            limit for loading and for --until (default 20000)
  --width W --height H    player size in page pixels (a movie's default: its stage size)
  --click X,Y[@MS]        click at stage position X,Y at MS (default 0); repeatable
  --click X,Y@/REGEX/     ... as soon as a trace line matches REGEX (after the line that set off
                          the click before it of this kind)
  --click X1,Y1>X2,Y2@..  a drag: pressed at X1,Y1, moved in steps to X2,Y2, released there
  --click X,Y~DY@..       the mouse wheel turned by DY over X,Y (DY > 0 scrolls down)
  --screenshot FILE[@MS]  write a PNG of the player at MS (default: at the end); repeatable
  --expect-trace LINE     these lines must be traced, in this order; repeatable
  --until-expected        after --wait, wait (up to --timeout) until the --expect-trace lines came
  --expect-traces FILE    the traces must be exactly the lines of FILE
  --expect-pixel X,Y=0xRRGGBB  at the end the stage shows this colour at X,Y; repeatable
  --no-errors             fail when Ruffle reported an error
  --renderer NAME         Ruffle's renderer: canvas (default), webgl, wgpu-webgl
Prints {ok, failures, traces, traceTimes, errors, blocked, metadata, screenshots[, pixels]}.`;

class UsageError extends Error {}

function number(value, name) {
  const n = Number(value);
  if (value === undefined || value === "" || !Number.isFinite(n) || n < 0) {
    throw new UsageError(`${name} needs a number of 0 or more, not "${value}"`);
  }
  return n;
}

// X,Y (a click), X1,Y1>X2,Y2 (a drag: pressed at the first point, released at the second) or
// X,Y~DY (the wheel turned by DY over X,Y; DY > 0 scrolls down, as a browser counts it), each
// optionally @MS or @/REGEX/.
function parseClick(text) {
  const num = "(-?[\\d.]+)";
  const m = new RegExp(`^${num},${num}(?:>${num},${num}|~${num})?(?:@(?:([\\d.]+)|\\/(.*)\\/))?$`, "s").exec(text);
  if (!m) {
    throw new UsageError(`--click takes X,Y, X1,Y1>X2,Y2 or X,Y~DY, then @MS or @/REGEX/, not "${text}"`);
  }
  const click = { x: Number(m[1]), y: Number(m[2]) };
  if (m[3] !== undefined) {
    click.toX = Number(m[3]);
    click.toY = Number(m[4]);
  }
  if (m[5] !== undefined) click.wheel = Number(m[5]);
  if (m[7] === undefined) {
    return { ...click, atMs: m[6] === undefined ? 0 : Number(m[6]) };
  }
  try {
    return { ...click, on: new RegExp(m[7]) };
  } catch (e) {
    throw new UsageError(`--click ${text}: ${e.message}`);
  }
}

// The colour tolerance per channel: anti-aliased edges are not asked for, but the canvas may
// blend a solid fill by a step or two.
const PIXEL_TOLERANCE = 6;

function parsePixel(text) {
  const m = /^(\d+),(\d+)=0x([0-9a-f]{6})$/i.exec(text);
  if (!m) {
    throw new UsageError(`--expect-pixel takes X,Y=0xRRGGBB, not "${text}"`);
  }
  const rgb = parseInt(m[3], 16);
  return { x: Number(m[1]), y: Number(m[2]), rgb: [rgb >> 16, (rgb >> 8) & 255, rgb & 255], text };
}

function parseScreenshot(text) {
  const m = /^(.+?)(?:@([\d.]+))?$/.exec(text);
  return { file: m[1], atMs: m[2] === undefined ? null : Number(m[2]) };
}

function parseCommandLine(argv) {
  let parsed;
  try {
    parsed = parseOptions(argv);
  } catch (e) {
    throw e.code?.startsWith("ERR_PARSE_ARGS") ? new UsageError(e.message) : e;
  }
  return interpret(parsed);
}

function parseOptions(argv) {
  return parseArgs({
    args: argv,
    allowPositionals: true,
    options: {
      wait: { type: "string" },
      until: { type: "string" },
      "until-match": { type: "string" },
      timeout: { type: "string" },
      width: { type: "string" },
      height: { type: "string" },
      click: { type: "string", multiple: true },
      screenshot: { type: "string", multiple: true },
      "expect-trace": { type: "string", multiple: true },
      "expect-traces": { type: "string" },
      "until-expected": { type: "boolean" },
      "expect-pixel": { type: "string", multiple: true },
      "no-errors": { type: "boolean" },
      renderer: { type: "string" },
      help: { type: "boolean", short: "h" },
    },
  });
}

function interpret({ values, positionals }) {
  if (values.help) {
    return { help: true };
  }
  if (positionals.length !== 1) {
    throw new UsageError("give exactly one movie or page");
  }
  if (values.until !== undefined && values["until-match"] !== undefined) {
    throw new UsageError("give --until or --until-match, not both");
  }
  let until;
  if (values.until !== undefined) {
    until = values.until;
  } else if (values["until-match"] !== undefined) {
    try {
      until = new RegExp(values["until-match"]);
    } catch (e) {
      throw new UsageError(`--until-match: ${e.message}`);
    }
  }
  const renderers = ["canvas", "webgl", "wgpu-webgl"];
  if (values.renderer !== undefined && !renderers.includes(values.renderer)) {
    throw new UsageError(`--renderer takes ${renderers.join(", ")}, not "${values.renderer}"`);
  }
  let exactTraces = null;
  if (values["expect-traces"] !== undefined) {
    exactTraces = fs.readFileSync(values["expect-traces"], "utf8").replace(/\r?\n$/, "").split(/\r?\n/);
  }
  return {
    file: positionals[0],
    waitMs: number(values.wait ?? "1000", "--wait"),
    until,
    timeoutMs: number(values.timeout ?? "20000", "--timeout"),
    width: values.width === undefined ? undefined : number(values.width, "--width"),
    height: values.height === undefined ? undefined : number(values.height, "--height"),
    clicks: (values.click ?? []).map(parseClick),
    screenshots: (values.screenshot ?? []).map(parseScreenshot),
    expectTraces: values["expect-trace"] ?? [],
    untilExpected: values["until-expected"] ?? false,
    pixels: (values["expect-pixel"] ?? []).map(parsePixel),
    exactTraces,
    noErrors: values["no-errors"] ?? false,
    renderer: values.renderer,
  };
}

/** What the run failed to show, as readable sentences. */
export function checkExpectations(result, { expectTraces = [], exactTraces = null, noErrors = false, pixels = [] }) {
  const failures = [];
  pixels.forEach((p, i) => {
    const got = result.pixels?.[i];
    if (!got || got.slice(0, 3).some((c, k) => Math.abs(c - p.rgb[k]) > PIXEL_TOLERANCE)) {
      const hex = got ? "0x" + got.slice(0, 3).map((c) => c.toString(16).padStart(2, "0")).join("") : "nothing";
      failures.push(`expected the colour ${p.text}, the stage shows ${hex} there`);
    }
  });
  let from = 0;
  for (const line of expectTraces) {
    const at = result.traces.indexOf(line, from);
    if (at < 0) {
      failures.push(`expected trace ${JSON.stringify(line)} (after line ${from}) did not appear`);
    } else {
      from = at + 1;
    }
  }
  if (exactTraces) {
    const a = exactTraces;
    const b = result.traces;
    const first = a.findIndex((line, i) => line !== b[i]);
    const differ = first >= 0 ? first : a.length !== b.length ? a.length : -1;
    if (differ >= 0) {
      failures.push(
        `traces differ from line ${differ + 1}: expected ${JSON.stringify(a[differ] ?? "<end>")}, ` +
          `got ${JSON.stringify(b[differ] ?? "<end>")} (${b.length} lines, ${a.length} expected)`,
      );
    }
  }
  if (noErrors && result.errors.length > 0) {
    failures.push(`Ruffle reported ${result.errors.length} error(s): ${result.errors[0]}`);
  }
  return failures;
}

async function main(argv) {
  const options = parseCommandLine(argv);
  if (options.help) {
    process.stdout.write(USAGE + "\n");
    return 0;
  }
  const isPage = /\.html?$/i.test(options.file);
  const timed = options.screenshots.filter((s) => s.atMs !== null);
  const atEnd = options.screenshots.filter((s) => s.atMs === null);
  const result = await withHarness(async (h) => {
    const open = isPage ? h.openHtml.bind(h) : h.openMovie.bind(h);
    const session = await open(options.file, {
      width: options.width,
      height: options.height,
      timeoutMs: options.timeoutMs,
    });
    try {
      const run = await session.run({
        waitMs: options.waitMs,
        clicks: options.clicks,
        screenshotAt: timed.map((s) => s.atMs),
        until: options.until,
        timeoutMs: options.timeoutMs,
      });
      if (options.untilExpected && options.expectTraces.length > 0) {
        // A line that never comes is reported with the other expectations.
        await session.waitForTraces(options.expectTraces, { timeoutMs: options.timeoutMs }).catch(() => {});
        Object.assign(run, session.result({ screenshots: run.screenshots }));
      }
      if (options.pixels.length > 0) {
        run.pixels = await session.stageColors(options.pixels);
      }
      const pngs = [...run.screenshots];
      for (let i = 0; i < atEnd.length; i++) {
        pngs.push(await session.screenshot());
      }
      const shots = [...timed, ...atEnd];
      shots.forEach((s, i) => {
        fs.mkdirSync(path.dirname(path.resolve(s.file)), { recursive: true });
        fs.writeFileSync(s.file, pngs[i]);
      });
      return { ...run, screenshots: shots.map((s) => s.file) };
    } finally {
      await session.close();
    }
  }, options.renderer ? { ruffleConfig: { preferredRenderer: options.renderer } } : {});
  const failures = checkExpectations(result, options);
  process.stdout.write(JSON.stringify({ ok: failures.length === 0, failures, ...result }, null, 2) + "\n");
  for (const f of failures) {
    process.stderr.write(`run-movie: ${f}\n`);
  }
  return failures.length === 0 ? 0 : 1;
}

// A run never outlives this, whatever hangs.
const HARD_LIMIT_MS = 10 * 60 * 1000;

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname)) {
  const guard = setTimeout(() => {
    process.stderr.write("run-movie: gave up after 10 minutes\n");
    process.exit(2);
  }, HARD_LIMIT_MS);
  guard.unref();
  main(process.argv.slice(2)).then(
    (code) => {
      process.exitCode = code;
    },
    (e) => {
      process.stderr.write(`run-movie: ${e instanceof UsageError ? `${e.message}\n${USAGE}` : e.message}\n`);
      process.exitCode = 2;
    },
  );
}
