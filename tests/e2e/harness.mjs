// Plays SWF movies and HTML pages in the Ruffle emulator inside headless Chromium, offline, and
// reports what the movie's scripts traced, what went wrong, and what the stage looked like.
import { chromium } from "playwright-core";
import fs from "node:fs";
import fsp from "node:fs/promises";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { readPng } from "./lib/png.mjs";

const HERE = path.dirname(fileURLToPath(import.meta.url));

export const CHROMIUM_PATH = process.env.TW_CHROMIUM ?? "/usr/bin/chromium";
// The emulator the program ships: TW_RUFFLE_DIR, else the program folder's ruffle/ (ctest names the
// folder in TW_PROGRAM_DIR), else the package scripts/ruffle.sh installs before the build copies it.
function ruffleDir() {
  if (process.env.TW_RUFFLE_DIR) {
    return path.resolve(process.env.TW_RUFFLE_DIR);
  }
  const program = process.env.TW_PROGRAM_DIR && path.join(process.env.TW_PROGRAM_DIR, "ruffle");
  if (program && fs.existsSync(path.join(program, "ruffle.js"))) {
    return program;
  }
  return path.resolve(HERE, "..", "..", "ruffle", "node_modules", "@ruffle-rs", "ruffle");
}
export const RUFFLE_DIR = ruffleDir();

// The flags known to work on this platform as root, no more: extra switches change how time
// and sound behave, and that is what these tests look at.
export const CHROMIUM_FLAGS = [
  "--headless",
  "--no-sandbox",
  "--disable-gpu",
  "--disable-quic",
  "--no-first-run",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
  "--autoplay-policy=no-user-gesture-required",
];

// What a test wants from the emulator: scripts' trace() on the console, the movie running at
// once, and nothing drawn over the stage that a screenshot or a click would hit.
export const RUFFLE_CONFIG = Object.freeze({
  autoplay: "on",
  unmuteOverlay: "hidden",
  splashScreen: false,
  letterbox: "off",
  logLevel: "info",
  contextMenu: "off",
  warnOnUnsupportedContent: false,
  showSwfDownload: false,
  upgradeToHttps: false,
  openUrlMode: "deny",
  polyfills: true,
  favorFlash: false,
  // Chromium here has no GPU: with software WebGL Ruffle opens a "hardware acceleration" notice
  // over the stage at the first mouse-over, which swallows clicks. The 2D canvas has no notice.
  preferredRenderer: "canvas",
});

const DEFAULT_TIMEOUT_MS = 20000;
const LAUNCH_TIMEOUT_MS = 30000;
const LOG_LINE = /^%c(\w+)%c (\S*)%c ?([\s\S]*)$/;
const TRACE_SOURCE = /(^|\/)log_adapter\.rs:\d+$/;

const MIME_TYPES = {
  ".html": "text/html; charset=utf-8",
  ".htm": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".map": "application/json",
  ".json": "application/json",
  ".wasm": "application/wasm",
  ".swf": "application/x-shockwave-flash",
  ".mp3": "audio/mpeg",
  ".wav": "audio/wav",
  ".xml": "text/xml; charset=utf-8",
  ".txt": "text/plain; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".png": "image/png",
  ".jpg": "image/jpeg",
  ".jpeg": "image/jpeg",
  ".gif": "image/gif",
};

/** Throws a message that says how to install what is missing. */
export function checkPrerequisites() {
  const missing = [];
  if (!fs.existsSync(CHROMIUM_PATH)) {
    missing.push(`Chromium is missing at ${CHROMIUM_PATH}`);
  }
  if (!fs.existsSync(path.join(HERE, "node_modules", "playwright-core"))) {
    missing.push(`the npm packages are missing in ${path.join(HERE, "node_modules")}`);
  }
  if (!fs.existsSync(path.join(RUFFLE_DIR, "ruffle.js"))) {
    missing.push(`the Ruffle emulator is missing in ${RUFFLE_DIR}`);
  }
  if (missing.length > 0) {
    throw new Error(`${missing.join("; ")}. Run: bash tests/e2e/setup.sh`);
  }
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, Math.max(0, ms)));
}

function ruffleInjection(config, withScript) {
  return (
    `<script>window.RufflePlayer = window.RufflePlayer || {};` +
    `window.RufflePlayer.config = ${JSON.stringify(config)};</script>` +
    (withScript ? `<script src="/__tw/ruffle/ruffle.js"></script>` : "")
  );
}

// A script of the page's own folder named ruffle.js: the emulator copied beside the page.
const OWN_RUFFLE = /<script\b[^>]*\bsrc\s*=\s*["'](?![a-z][a-z0-9+.-]*:|\/)[^"']*ruffle\.js["']/i;

// A page of our program embeds its movie with <object>/<embed>; Ruffle replaces those only when
// its script runs in the page, so the server puts it at the top of every page it hands out. A
// page that brings its own copy of the emulator plays in that copy, which is what a visitor
// gets; only the test's configuration goes in front of it.
function injectRuffle(html, config) {
  const tag = ruffleInjection(config, !OWN_RUFFLE.test(html));
  const head = /<head\b[^>]*>/i.exec(html);
  if (head) {
    const at = head.index + head[0].length;
    return html.slice(0, at) + tag + html.slice(at);
  }
  const htmlTag = /<html\b[^>]*>/i.exec(html);
  if (htmlTag) {
    const at = htmlTag.index + htmlTag[0].length;
    return html.slice(0, at) + `<head>${tag}</head>` + html.slice(at);
  }
  return tag + html;
}

const PLAYER_PAGE = `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>movie</title>
<style>html,body{margin:0;padding:0;background:#000;overflow:hidden}
#player{display:block}</style>
<script src="/__tw/ruffle/ruffle.js"></script>
</head><body><div id="stage"></div></body></html>
`;

/**
 * A static HTTP server on 127.0.0.1 with a random port. `/__tw/ruffle/` is the Ruffle package,
 * `/__tw/player.html` the page that hosts a single movie, and `mount(dir)` serves a folder
 * under a fresh prefix.
 */
export async function startServer({ ruffleConfig = RUFFLE_CONFIG } = {}) {
  const mounts = new Map();
  const server = http.createServer((req, res) => {
    serve(req, res).catch(() => {
      if (!res.headersSent) {
        res.writeHead(500);
      }
      res.end();
    });
  });

  function send(res, status, type, body) {
    res.writeHead(status, { "Content-Type": type, "Cache-Control": "no-store" });
    res.end(body);
  }

  // Resolves a URL path inside a root folder; null when it would leave the folder.
  function resolveInside(root, rel) {
    const file = path.resolve(root, "." + path.posix.normalize("/" + rel));
    return file === root || file.startsWith(root + path.sep) ? file : null;
  }

  async function serve(req, res) {
    const url = new URL(req.url, "http://127.0.0.1");
    let pathname;
    try {
      pathname = decodeURIComponent(url.pathname);
    } catch {
      return send(res, 400, "text/plain", "bad path");
    }
    if (req.method !== "GET" && req.method !== "HEAD") {
      return send(res, 405, "text/plain", "only GET");
    }
    if (pathname === "/__tw/player.html") {
      return send(res, 200, MIME_TYPES[".html"], PLAYER_PAGE);
    }
    let file = null;
    let inject = false;
    if (pathname.startsWith("/__tw/ruffle/")) {
      file = resolveInside(RUFFLE_DIR, pathname.slice("/__tw/ruffle/".length));
    } else {
      const m = /^\/m(\d+)\/(.*)$/s.exec(pathname);
      const mount = m && mounts.get(m[1]);
      if (mount) {
        file = resolveInside(mount.root, m[2]);
        inject = mount.injectRuffle;
      }
    }
    let stat = null;
    if (file) {
      stat = await fsp.stat(file).catch(() => null);
    }
    if (!stat || !stat.isFile()) {
      return send(res, 404, "text/plain", "not found");
    }
    const type = MIME_TYPES[path.extname(file).toLowerCase()] ?? "application/octet-stream";
    let body = await fsp.readFile(file);
    if (inject && type.startsWith("text/html")) {
      body = injectRuffle(body.toString("utf8"), ruffleConfig);
    }
    return send(res, 200, type, req.method === "HEAD" ? undefined : body);
  }

  await new Promise((resolve, reject) => {
    server.once("error", reject);
    server.listen(0, "127.0.0.1", resolve);
  });
  const origin = `http://127.0.0.1:${server.address().port}`;
  let nextMount = 1;
  return {
    origin,
    /** Serves `dir` and returns the URL prefix (ending in "/") it lies under. */
    mount(dir, { injectRuffle: injectIt = false } = {}) {
      const id = String(nextMount++);
      mounts.set(id, { root: path.resolve(dir), injectRuffle: injectIt });
      return `${origin}/m${id}/`;
    },
    close() {
      server.closeAllConnections?.();
      return new Promise((resolve) => server.close(() => resolve()));
    },
  };
}

function toMatcher(expected) {
  if (expected instanceof RegExp) {
    return (line) => {
      expected.lastIndex = 0;
      return expected.test(line);
    };
  }
  if (typeof expected === "function") {
    return expected;
  }
  return (line) => line === String(expected);
}

// Errors after which a movie will never become ready: waiting on would only run into the timeout.
const FATAL_LOAD_ERROR = /Invalid SWF|HTTP Status is not OK|panic|Serious error|Ruffle load failed/i;

// Records every AudioContext the page makes, so a test can read the audio clock Ruffle plays on.
function recordAudioContexts() {
  const Base = window.AudioContext;
  if (!Base || window.__twAudioContexts) {
    return;
  }
  const made = [];
  Object.defineProperty(window, "__twAudioContexts", { value: made });
  window.AudioContext = class extends Base {
    constructor(...args) {
      super(...args);
      made.push(this);
    }
  };
}

// Runs in the page: the movie's header as the first player matching `selector` read it.
function readMetadata(selector) {
  const el = document.querySelector(selector);
  const m = el?.ruffle?.().metadata ?? el?.metadata;
  return m
    ? {
      width: m.width,
      height: m.height,
      frameRate: m.frameRate,
      numFrames: m.numFrames,
      swfVersion: m.swfVersion,
      backgroundColor: m.backgroundColor,
      isActionScript3: m.isActionScript3,
    }
    : null;
}

/**
 * One movie or page in one browser tab. `traces`, `errors` and `blocked` (requests that tried
 * to leave our server) fill while it runs, and `console` keeps every console message for a
 * look when something puzzles. Times are milliseconds since the movie was ready (its header
 * read, the stage size known); lines traced while it loaded have times <= 0.
 */
export class Session {
  constructor(page) {
    this.page = page;
    this.traces = [];
    this.errors = [];
    this.blocked = [];
    this.console = [];
    this.metadata = null;
    this.startedAt = Date.now();
    this._traceClock = [];
    this._waiters = new Set();
    page.on("console", (msg) => this._onConsole(msg));
    page.on("pageerror", (err) => this._error(`page error: ${err.message}`));
    page.on("crash", () => this._error("page crashed"));
  }

  /** When each trace line arrived, in ms since the movie was ready. */
  get traceTimes() {
    return this._traceClock.map((t) => t - this.startedAt);
  }

  _wake() {
    for (const waiter of this._waiters) {
      waiter();
    }
  }

  _error(text) {
    this.errors.push(text);
    this._wake();
  }

  _onConsole(msg) {
    const text = msg.text();
    this.console.push({ type: msg.type(), text });
    // Ruffle logs "%cLEVEL%c source%c message" plus three style arguments; trace() output is
    // what its log adapter writes at level INFO.
    const log = LOG_LINE.exec(msg.args()[0]?.toString() ?? "");
    if (log && log[1] === "INFO" && TRACE_SOURCE.test(log[2])) {
      // A trace of several lines arrives as one message.
      for (const line of log[3].split(/\r\n|\r|\n/)) {
        this.traces.push(line);
        this._traceClock.push(Date.now());
      }
      this._wake();
    } else if (log && log[1] === "ERROR") {
      this._error(`${log[2]}: ${log[3]}`);
    } else if (!log && msg.type() === "error") {
      this._error(text);
    }
  }

  /** Milliseconds since the movie was ready. */
  elapsed() {
    return Date.now() - this.startedAt;
  }

  /**
   * Resolves with {line, index, atMs} of the first trace line (from index `from` on) that equals
   * `expected` (a string), matches it (a RegExp) or satisfies it (a function); rejects after
   * `timeoutMs` with the traces and errors seen so far.
   */
  waitForTrace(expected, { timeoutMs = DEFAULT_TIMEOUT_MS, from = 0 } = {}) {
    const matches = toMatcher(expected);
    return this._waitFor(
      () => {
        const index = this.traces.findIndex((line, i) => i >= from && matches(line));
        return index < 0
          ? undefined
          : { line: this.traces[index], index, atMs: this._traceClock[index] - this.startedAt };
      },
      timeoutMs,
      `a trace matching ${String(expected)}`,
    );
  }

  /**
   * Resolves with the index of the last line once every entry of `expected` (strings, RegExps or
   * functions as for waitForTrace) was traced, in this order; rejects after `timeoutMs`.
   */
  waitForTraces(expected, { timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
    const matchers = expected.map(toMatcher);
    return this._waitFor(
      () => {
        let at = -1;
        for (const matches of matchers) {
          at = this.traces.findIndex((line, i) => i > at && matches(line));
          if (at < 0) {
            return undefined;
          }
        }
        return at;
      },
      timeoutMs,
      `${expected.length} traces in order`,
    );
  }

  // Resolves with the first defined value of `probe`, which is asked again on every trace and
  // error; rejects on timeout, or at once when `failOn` finds an error.
  _waitFor(probe, timeoutMs, what, failOn = null) {
    return new Promise((resolve, reject) => {
      let timer = null;
      const finish = (fn, value) => {
        clearTimeout(timer);
        this._waiters.delete(check);
        fn(value);
      };
      const fail = (why) =>
        finish(
          reject,
          new Error(
            `${why} while waiting for ${what}; traces so far: ${JSON.stringify(this.traces.slice(-20))}` +
              (this.errors.length ? `; errors: ${JSON.stringify(this.errors)}` : ""),
          ),
        );
      const check = () => {
        const fatal = failOn && this.errors.find((e) => failOn.test(e));
        if (fatal) {
          return fail(`error "${fatal}"`);
        }
        const value = probe();
        if (value !== undefined) {
          finish(resolve, value);
        }
      };
      timer = setTimeout(() => fail(`timed out after ${timeoutMs} ms`), timeoutMs);
      this._waiters.add(check);
      check();
    });
  }

  /** The player's box on the page, the stage size it shows, and how it scales the stage. */
  async _geometry() {
    return this.page.evaluate(() => {
      const el = document.querySelector("#player, ruffle-player, ruffle-object, ruffle-embed");
      if (!el) {
        return null;
      }
      const r = el.getBoundingClientRect();
      const meta = el.ruffle?.().metadata ?? el.metadata ?? null;
      const config = el.ruffle?.().loadedConfig ?? el.loadedConfig ?? {};
      return {
        x: r.x,
        y: r.y,
        width: r.width,
        height: r.height,
        stageWidth: meta?.width ?? r.width,
        stageHeight: meta?.height ?? r.height,
        scale: config.scale ?? "showAll",
        salign: config.salign ?? "",
      };
    });
  }

  /**
   * Page position of a stage position, from the scale mode and alignment the player was given
   * (default "showAll", centred). A scale mode that a script sets at run time is not seen.
   */
  async stageToPage(x, y) {
    const g = await this._geometry();
    if (!g) {
      throw new Error("no Ruffle player on the page");
    }
    const fitX = g.width / g.stageWidth;
    const fitY = g.height / g.stageHeight;
    let sx;
    let sy;
    switch (String(g.scale).toLowerCase()) {
      case "noscale": sx = sy = 1; break;
      case "exactfit": sx = fitX; sy = fitY; break;
      case "noborder": sx = sy = Math.max(fitX, fitY); break;
      default: sx = sy = Math.min(fitX, fitY);
    }
    const align = String(g.salign).toUpperCase();
    const spareX = g.width - g.stageWidth * sx;
    const spareY = g.height - g.stageHeight * sy;
    const offX = align.includes("L") ? 0 : align.includes("R") ? spareX : spareX / 2;
    const offY = align.includes("T") ? 0 : align.includes("B") ? spareY : spareY / 2;
    return { x: g.x + offX + x * sx, y: g.y + offY + y * sy };
  }

  /** Presses and releases the left button at a stage position. */
  async clickStage(x, y, { holdMs = 50 } = {}) {
    const p = await this.stageToPage(x, y);
    await this.page.mouse.move(p.x, p.y);
    await this.page.mouse.down();
    await sleep(holdMs);
    await this.page.mouse.up();
  }

  /**
   * Presses the left button at one stage position, moves to another in small steps with a frame
   * or two between them (a movie that follows the pointer sees it move) and releases it there.
   */
  async dragStage(x1, y1, x2, y2, { steps = 8, stepMs = 60 } = {}) {
    const from = await this.stageToPage(x1, y1);
    const to = await this.stageToPage(x2, y2);
    await this.page.mouse.move(from.x, from.y);
    await this.page.mouse.down();
    await sleep(stepMs);
    for (let i = 1; i <= steps; i++) {
      await this.page.mouse.move(from.x + ((to.x - from.x) * i) / steps, from.y + ((to.y - from.y) * i) / steps);
      await sleep(stepMs);
    }
    await this.page.mouse.up();
  }

  /** Turns the mouse wheel over a stage position: `dy` as a browser counts it (> 0 scrolls down). */
  async wheelStage(x, y, dy) {
    const p = await this.stageToPage(x, y);
    await this.page.mouse.move(p.x, p.y);
    await this.page.mouse.wheel(0, dy);
  }

  /** One pointer gesture: a click {x, y}, a drag {x, y, toX, toY} or a wheel turn {x, y, wheel}. */
  gesture(g) {
    if (g.toX !== undefined) return this.dragStage(g.x, g.y, g.toX, g.toY);
    if (g.wheel !== undefined) return this.wheelStage(g.x, g.y, g.wheel);
    return this.clickStage(g.x, g.y);
  }

  /** A PNG of the player's box (the whole viewport when there is no player). */
  async screenshot() {
    const g = await this._geometry();
    const clip = g && g.width > 0 && g.height > 0
      ? { x: g.x, y: g.y, width: g.width, height: g.height }
      : undefined;
    return this.page.screenshot({ type: "png", clip, timeout: DEFAULT_TIMEOUT_MS });
  }

  /** The colours [r, g, b, a] of a screenshot of the player at stage positions [{x, y}]. */
  async stageColors(points) {
    const png = readPng(await this.screenshot());
    const g = await this._geometry();
    const colors = [];
    for (const { x, y } of points) {
      const p = await this.stageToPage(x, y);
      colors.push(png.rgba(Math.floor(p.x - (g?.x ?? 0)), Math.floor(p.y - (g?.y ?? 0))));
    }
    return colors;
  }

  /** State and time (seconds) of each AudioContext the page made: the clock sound plays on. */
  audioClock() {
    return this.page.evaluate(() =>
      (window.__twAudioContexts ?? []).map((c) => ({
        state: c.state,
        currentTime: c.currentTime,
        sampleRate: c.sampleRate,
      })),
    );
  }

  /**
   * Runs a timeline of clicks and screenshots (at ms since the movie was ready), then waits
   * until `waitMs` has passed and, when given, until a trace matching `until` appears. A click
   * with `on` (a trace line, RegExp or predicate) instead of `atMs` comes as soon as such a line
   * was traced after the one that set off the click before it of that kind, so that a movie
   * that reports its state is clicked when it is ready for it, however slow the machine.
   */
  async run({ waitMs = 0, clicks = [], screenshotAt = [], until, timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
    const events = [
      ...clicks.filter((c) => c.on === undefined)
        .map((c) => ({ ...c, atMs: c.atMs ?? 0, kind: "click" })),
      ...screenshotAt.map((atMs, i) => ({ atMs, kind: "shot", i })),
    ].sort((a, b) => a.atMs - b.atMs);
    const onTraces = clicks.filter((c) => c.on !== undefined);
    const screenshots = new Array(screenshotAt.length);
    const timeline = (async () => {
      for (const ev of events) {
        await sleep(ev.atMs - this.elapsed());
        if (ev.kind === "click") {
          await this.gesture(ev);
        } else {
          screenshots[ev.i] = await this.screenshot();
        }
      }
    })();
    const traced = (async () => {
      let from = 0;
      for (const c of onTraces) {
        const { index } = await this.waitForTrace(c.on, { timeoutMs, from });
        from = index + 1;
        await this.gesture(c);
      }
    })();
    await Promise.all([timeline, traced]);
    await sleep(waitMs - this.elapsed());
    if (until !== undefined) {
      await this.waitForTrace(until, { timeoutMs });
    }
    return this.result({ screenshots });
  }

  /** {traces, traceTimes, errors, blocked, metadata, screenshots} as they stand. */
  result(extra = {}) {
    return {
      traces: [...this.traces],
      traceTimes: this.traceTimes,
      errors: [...this.errors],
      blocked: [...this.blocked],
      metadata: this.metadata,
      screenshots: [],
      ...extra,
    };
  }

  close() {
    return this.page.close().catch(() => {});
  }
}

/**
 * A browser and a server for any number of movies and pages. Always `close()` it (or use the
 * one-shot `playMovie`/`openPage`).
 */
export class Harness {
  static async start({ ruffleConfig = {}, chromiumFlags = CHROMIUM_FLAGS } = {}) {
    checkPrerequisites();
    const h = new Harness();
    h.ruffleConfig = { ...RUFFLE_CONFIG, ...ruffleConfig };
    h.userDataDir = await fsp.mkdtemp(path.join(os.tmpdir(), "tw-e2e-chromium-"));
    try {
      h.server = await startServer({ ruffleConfig: h.ruffleConfig });
      h.context = await chromium.launchPersistentContext(h.userDataDir, {
        executablePath: CHROMIUM_PATH,
        headless: true,
        // Playwright's defaults would add --mute-audio and a dozen other switches; this browser
        // runs with the platform's flags and the two that Playwright needs to drive it.
        ignoreDefaultArgs: true,
        args: [...chromiumFlags, `--user-data-dir=${h.userDataDir}`, "--remote-debugging-pipe", "about:blank"],
        viewport: { width: 800, height: 600 },
        deviceScaleFactor: 1,
        timeout: LAUNCH_TIMEOUT_MS,
      });
      h.context.setDefaultTimeout(DEFAULT_TIMEOUT_MS);
      h.context.setDefaultNavigationTimeout(DEFAULT_TIMEOUT_MS);
      await h.context.addInitScript(recordAudioContexts);
      // Pages of sessions record what they block (see _newSession); this catches the rest, such
      // as a window a movie opens.
      const origin = h.server.origin;
      await h.context.route(
        (url) => url.origin !== origin && url.protocol !== "data:" && url.protocol !== "blob:",
        (route) => route.abort("blockedbyclient"),
      );
    } catch (e) {
      await h.close();
      throw e;
    }
    return h;
  }

  async close() {
    await this.context?.close().catch(() => {});
    this.context = null;
    await this.server?.close();
    this.server = null;
    if (this.userDataDir) {
      await fsp.rm(this.userDataDir, { recursive: true, force: true });
      this.userDataDir = null;
    }
  }

  async _newSession(width, height) {
    const page = await this.context.newPage();
    const session = new Session(page);
    // Nothing leaves the machine: only our own server answers.
    const origin = this.server.origin;
    await page.route(
      (url) => url.origin !== origin && url.protocol !== "data:" && url.protocol !== "blob:",
      (route) => {
        session.blocked.push(route.request().url());
        return route.abort("blockedbyclient");
      },
    );
    await page.setViewportSize({ width: Math.max(width, 100), height: Math.max(height, 100) });
    return session;
  }

  async _opened(session, load, what) {
    try {
      session.metadata = await load();
      session.startedAt = Date.now();
      return session;
    } catch (e) {
      await session.close();
      e.message = `${what}: ${e.message}`;
      throw e;
    }
  }

  /**
   * Opens a movie on a page of its own and resolves with the running Session once the movie is
   * ready. Without `width`/`height` the player gets the movie's stage size, so stage pixels are
   * page pixels.
   */
  async openMovie(swfPath, { width, height, ruffleConfig = {}, timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
    const file = path.resolve(swfPath);
    await fsp.access(file, fs.constants.R_OK);
    const folder = this.server.mount(path.dirname(file));
    const url = folder + encodeURIComponent(path.basename(file));
    // Relative URLs in the movie (a loadSound, a loadMovie) resolve against the movie's folder,
    // as they do on a page that lies beside its movie.
    const config = { base: folder, ...this.ruffleConfig, ...ruffleConfig };
    const session = await this._newSession(width ?? 1024, height ?? 768);
    return this._opened(session, async () => {
      await session.page.goto(`${this.server.origin}/__tw/player.html`, { timeout: timeoutMs });
      await session.page.evaluate(
        ({ url, config, width, height }) => {
          const player = window.RufflePlayer.newest().createPlayer();
          player.id = "player";
          player.style.width = `${width ?? 550}px`;
          player.style.height = `${height ?? 400}px`;
          document.getElementById("stage").appendChild(player);
          player.ruffle().load({ ...config, url }).catch((e) => console.error(`Ruffle load failed: ${e}`));
        },
        { url, config, width: width ?? null, height: height ?? null },
      );
      const metadata = await this._waitForMetadata(session, "#player", timeoutMs);
      if (width === undefined || height === undefined) {
        const w = width ?? metadata.width;
        const h = height ?? metadata.height;
        await session.page.evaluate(({ w, h }) => {
          const player = document.getElementById("player");
          player.style.width = `${w}px`;
          player.style.height = `${h}px`;
        }, { w, h });
        await session.page.setViewportSize({ width: Math.max(w, 100), height: Math.max(h, 100) });
      }
      return metadata;
    }, `loading ${swfPath}`);
  }

  /**
   * Opens an HTML page (for instance one our program published) with Ruffle put into it, so its
   * <object>/<embed> plays in Ruffle; resolves once the first player on it has its movie ready.
   */
  async openHtml(htmlPath, { width = 1024, height = 768, timeoutMs = DEFAULT_TIMEOUT_MS } = {}) {
    const file = path.resolve(htmlPath);
    await fsp.access(file, fs.constants.R_OK);
    const url = this.server.mount(path.dirname(file), { injectRuffle: true }) +
      encodeURIComponent(path.basename(file));
    const session = await this._newSession(width, height);
    return this._opened(session, async () => {
      await session.page.goto(url, { timeout: timeoutMs });
      return this._waitForMetadata(session, "ruffle-player, ruffle-object, ruffle-embed", timeoutMs);
    }, `opening ${htmlPath}`);
  }

  /** Plays a movie through a timeline (see Session.run) and closes its page. */
  async playMovie(swfPath, options = {}) {
    const session = await this.openMovie(swfPath, options);
    try {
      return await session.run(options);
    } finally {
      await session.close();
    }
  }

  /** Like playMovie, for an HTML page. */
  async openPage(htmlPath, options = {}) {
    const session = await this.openHtml(htmlPath, options);
    try {
      return await session.run(options);
    } finally {
      await session.close();
    }
  }

  // Polls the page for the player's metadata; a load error ends the wait early.
  async _waitForMetadata(session, selector, timeoutMs) {
    let found;
    let polling = true;
    const poll = (async () => {
      while (polling) {
        const m = await session.page.evaluate(readMetadata, selector).catch(() => null);
        if (m) {
          found = m;
          session._wake();
          return;
        }
        await sleep(50);
      }
    })();
    try {
      return await session._waitFor(() => found, timeoutMs, "the movie to load", FATAL_LOAD_ERROR);
    } finally {
      polling = false;
      await poll;
    }
  }
}

/** Runs `fn(harness)` on a harness of its own, closed afterwards whatever happens. */
export async function withHarness(fn, options = {}) {
  const h = await Harness.start(options);
  try {
    return await fn(h);
  } finally {
    await h.close();
  }
}

/**
 * Plays one movie in a browser of its own and resolves with
 * {traces, traceTimes, errors, blocked, metadata, screenshots: [PNG Buffer]}.
 * Options: width, height (player size; default the stage size), waitMs, until (a trace line,
 * RegExp or predicate to wait for), timeoutMs, clicks [{x, y, atMs}] in stage pixels,
 * screenshotAt [ms], ruffleConfig.
 */
export function playMovie(swfPath, options = {}) {
  return withHarness((h) => h.playMovie(swfPath, options));
}

/** Opens one HTML page in a browser of its own; same options and result as playMovie. */
export function openPage(htmlPath, options = {}) {
  return withHarness((h) => h.openPage(htmlPath, options));
}
