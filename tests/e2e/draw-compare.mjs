#!/usr/bin/env node
// Shows a movie in Ruffle and, in the same page, replays a list of drawing commands on the
// browser's own 2D canvas of the stage's size; writes a PNG of each, for a test to compare.
//
//   node draw-compare.mjs MOVIE.swf DRAWING.json FLASH.png CANVAS.png
//
// DRAWING.json is an array of commands: {"op": NAME, "args": [numbers]} calls the canvas's
// method of that name, with "text" after the numbers when given ({"op": "fill", "text":
// "evenodd"}); the styles are {"op": "fillStyle" | "strokeStyle", "color": [r, g, b, a]} or
// {"op": "fillStyle" | "strokeStyle", "gradient": "linear" | "radial", "args": [...], "stops":
// [[offset, [r, g, b, a]], ...]}; {"op": "lineWidth" | "miterLimit", "args": [v]} and
// {"op": "lineCap" | "lineJoin", "text": NAME} set those properties. Strokes start with round
// caps and joins, as the lines of a SWF shape have. Exit 0 when both were written, 2 when not.
import fs from "node:fs";
import { withHarness } from "./harness.mjs";

const [movie, drawingFile, flashPng, canvasPng] = process.argv.slice(2);
if (!canvasPng) {
  process.stderr.write("usage: node draw-compare.mjs MOVIE.swf DRAWING.json FLASH.png CANVAS.png\n");
  process.exit(2);
}

// Runs in the page: draws the commands on a new canvas laid over nothing, returns a PNG data URL.
function drawOnCanvas({ commands, width, height }) {
  const canvas = document.createElement("canvas");
  canvas.width = width;
  canvas.height = height;
  canvas.style.display = "none";
  document.body.appendChild(canvas);
  const ctx = canvas.getContext("2d");
  ctx.lineCap = "round";
  ctx.lineJoin = "round";
  const css = ([r, g, b, a]) => `rgba(${r}, ${g}, ${b}, ${a / 255})`;
  for (const c of commands) {
    if (c.op === "fillStyle" || c.op === "strokeStyle") {
      let style = c.color && css(c.color);
      if (c.gradient) {
        style = c.gradient === "linear"
          ? ctx.createLinearGradient(...c.args)
          : ctx.createRadialGradient(...c.args);
        for (const [offset, color] of c.stops) {
          style.addColorStop(offset, css(color));
        }
      }
      ctx[c.op] = style;
    } else if (c.op === "lineWidth" || c.op === "miterLimit") {
      ctx[c.op] = c.args[0];
    } else if (c.op === "lineCap" || c.op === "lineJoin") {
      ctx[c.op] = c.text;
    } else if (typeof ctx[c.op] === "function") {
      ctx[c.op](...(c.args ?? []), ...(c.text === undefined ? [] : [c.text]));
    } else {
      throw new Error(`no canvas command ${c.op}`);
    }
  }
  return canvas.toDataURL("image/png");
}

try {
  const commands = JSON.parse(fs.readFileSync(drawingFile, "utf8"));
  await withHarness(async (h) => {
    const session = await h.openMovie(movie);
    try {
      await session.run({ waitMs: 800 });
      if (session.errors.length > 0) {
        throw new Error(`Ruffle reported: ${session.errors.join("; ")}`);
      }
      fs.writeFileSync(flashPng, await session.screenshot());
      const { width, height } = session.metadata;
      const url = await session.page.evaluate(drawOnCanvas, { commands, width, height });
      fs.writeFileSync(canvasPng, Buffer.from(url.slice(url.indexOf(",") + 1), "base64"));
    } finally {
      await session.close();
    }
  });
} catch (e) {
  process.stderr.write(`${e.stack ?? e}\n`);
  process.exit(2);
}
