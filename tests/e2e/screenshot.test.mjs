// Screenshots show the stage as the movie draws it, at the size the player is given.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { hexColor, readPng } from "./lib/png.mjs";
import { corpusMovie } from "./lib/testing.mjs";

const WHITE = "#ffffff";
const RED = "#ff0000";
const BLUE = "#336699";

// Colours and places read off the movies' tags. swfcrate__SimpleRedBackground.swf: background
// #FF0000 and nothing else. swfcrate__DefineButton-MX.swf: background #FFFFFF and a button
// whose up state is a solid #336699 rectangle of 65 x 36 pixels, placed at (37.5, 23). Points
// are pixels of the screenshot, kept off edges where smoothing mixes colours.
const CASES = [
  {
    name: "a red background to every corner",
    movie: "swfcrate__SimpleRedBackground.swf",
    size: { width: 400, height: 400 },
    pixels: [[0, 0, RED], [399, 0, RED], [0, 399, RED], [399, 399, RED], [200, 200, RED]],
  },
  {
    name: "a blue rectangle on white at the stage's size",
    movie: "swfcrate__DefineButton-MX.swf",
    size: { width: 550, height: 400 },
    pixels: [
      [40, 26, BLUE], [70, 41, BLUE], [100, 56, BLUE],
      [34, 41, WHITE], [106, 41, WHITE], [70, 20, WHITE], [70, 62, WHITE],
      [0, 0, WHITE], [549, 399, WHITE],
    ],
  },
  {
    name: "the same scaled to twice the stage",
    movie: "swfcrate__DefineButton-MX.swf",
    player: { width: 1100, height: 800 },
    size: { width: 1100, height: 800 },
    pixels: [[80, 50, BLUE], [200, 112, BLUE], [70, 82, WHITE], [210, 82, WHITE], [140, 40, WHITE], [1099, 799, WHITE]],
  },
];

function near(actual, expected, tolerance = 3) {
  const a = parseInt(actual.slice(1), 16);
  const e = parseInt(expected.slice(1), 16);
  return [16, 8, 0].every((shift) => Math.abs(((a >> shift) & 255) - ((e >> shift) & 255)) <= tolerance);
}

describe("screenshots of corpus movies", () => {
  let h;
  before(async () => {
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
  });

  for (const c of CASES) {
    test(c.name, { timeout: 60000 }, async () => {
      const result = await h.playMovie(corpusMovie(c.movie), { ...c.player, screenshotAt: [300, 900] });
      assert.deepEqual(result.errors, []);
      assert.equal(result.screenshots.length, 2);
      for (const png of result.screenshots) {
        const image = readPng(png);
        assert.deepEqual({ width: image.width, height: image.height }, c.size);
        for (const [x, y, colour] of c.pixels) {
          const got = hexColor(image.rgba(x, y));
          assert.ok(near(got, colour), `pixel (${x}, ${y}) is ${got}, expected ${colour}`);
        }
      }
    });
  }
});
