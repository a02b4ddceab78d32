// A movie copied by `tunewright-cli swf copy` (every tag read into its object and written back)
// plays in the Flash runtime as its original: the same trace lines from AVM1 test movies, the
// same pixels from movies that draw shapes, bitmaps, text, filters and blend modes.
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { isDeepStrictEqual, promisify } from "node:util";
import { after, before, describe, test } from "node:test";
import { Harness } from "./harness.mjs";
import { readPng } from "./lib/png.mjs";
import { cliPath, corpusMovie, sleep, tempDir } from "./lib/testing.mjs";

// AVM1 test movies whose trace output depends on nothing but their own scripts: no clock, no
// random numbers, no network, no mouse or keyboard. Each traces its lines within a few seconds
// and then falls silent. The from_gnash__actionscript.all tests import their check functions
// from "Dejagnu.swf" beside them, which the test provides (see DEJAGNU).
const TRACE_MOVIES = [
  "avm1__add2__test.swf",
  "avm1__as2_super_and_this_v8__test.swf",
  "avm1__assetnative__test.swf",
  "avm1__bitmap_data_hittest__test.swf",
  "avm1__bitmap_data_thorough__getPixel32__test.swf",
  "avm1__button_v5__test.swf",
  "avm1__clip_event_propagation_order__test.swf",
  "avm1__color__test.swf",
  "avm1__edittext_antialiastype__test.swf",
  "avm1__edittext_html_entity__test.swf",
  "avm1__edittext_tag_indent__test.swf",
  "avm1__equals2_swf6__test.swf",
  "avm1__execution_order2__test.swf",
  "avm1__frame_size_translated_positive__test.swf",
  "avm1__get_variable_in_scope__test.swf",
  "avm1__globals_swf7__test.swf",
  "avm1__goto_frame__test.swf",
  "avm1__is_prototype_of__test.swf",
  "avm1__lessthan_swf4_alt__test.swf",
  "avm1__local_to_global__test.swf",
  "avm1__logical_ops_swf4__test.swf",
  "avm1__matrix__test.swf",
  "avm1__movieclip_depth_methods__test.swf",
  "avm1__movieclip_setmask__test.swf",
  "avm1__nan_scale__test.swf",
  "avm1__on_construct__test.swf",
  "avm1__string_ops_swf6__test.swf",
  // "CWS" of version 5: parseInt reads octal by the version's rules.
  "avm1__swf5_global_funcs__test.swf",
  "avm1__text_format_display__test.swf",
  "avm1__textfield_variable__test.swf",
  "avm1__this_swf5__test.swf",
  "avm1__try_catch_finally__test.swf",
  "avm1__unescape__test.swf",
  "avm1__virtual_property_recursion_swf7__test.swf",
  "avm1__xml_inspect_parsexml__test.swf",
  "from_gnash__actionscript.all__Number-v8__test.swf",
  "from_gnash__actionscript.all__Object-v8__test.swf",
  "from_gnash__actionscript.all__String-v8__test.swf",
  "from_gnash__actionscript.all__TextField-v8__test.swf",
  "from_gnash__actionscript.all__TextFormat-v8__test.swf",
  "from_gnash__actionscript.all__Transform-v8__test.swf",
  "from_gnash__actionscript.all__XMLNode-v8__test.swf",
  "from_gnash__actionscript.all__array-v8__test.swf",
  "from_gnash__actionscript.all__case-v8__test.swf",
  "from_gnash__actionscript.all__delete-v8__test.swf",
  "from_gnash__actionscript.all__enumerate-v8__test.swf",
  "from_gnash__actionscript.all__getvariable-v8__test.swf",
  "from_gnash__actionscript.all__ops-v8__test.swf",
  "from_gnash__actionscript.all__targetPath-v8__test.swf",
  "from_gnash__actionscript.all__with-v8__test.swf",
  "from_gnash__misc-ming.all__action_order__action_execution_order_test1__test.swf",
  "from_gnash__misc-ming.all__action_order__action_execution_order_test8-v5__test.swf",
  "from_gnash__misc-ming.all__attachMovieLoopingTest__test.swf",
  "from_gnash__misc-ming.all__displaylist_depths__displaylist_depths_test3__test.swf",
  "from_gnash__misc-ming.all__duplicate_movie_clip_test2__test.swf",
  "from_gnash__misc-ming.all__init_action__InitActionTest__test.swf",
  "from_gnash__misc-ming.all__loop__loop_test7__test.swf",
  "from_gnash__misc-ming.all__register_class__RegisterClassTest3__test.swf",
  "from_gnash__misc-ming.all__reverse_execute_PlaceObject2_test2__test.swf",
  "from_gnash__misc-mtasc.all__enum__test.swf",
  "from_gnash__misc-swfmill.all__jump_after_end__test.swf",
];

// The movies of versions 4 and 5 that trace, copied with `swf copy --compress`: a compressed
// movie needs version 6 in some readers, but the copy keeps the version its tags were written
// for (a raised version would change how texts and scripts behave).
const COMPRESSED_TRACE_MOVIES = [
  "avm1__button_v5__test.swf",
  "avm1__lessthan_swf4_alt__test.swf",
  "avm1__logical_ops_swf4__test.swf",
  "avm1__set_target_2_swf5__test.swf",
  "avm1__swf5_global_funcs__test.swf",
  "avm1__target_paths__swf4__test.swf",
  "avm1__this_swf5__test.swf",
  "from_gnash__misc-ming.all__action_order__action_execution_order_test8-v5__test.swf",
  "swfcrate__DoAction-CS6.swf",
];

// Tried and left out, and why (the rest of the avm1__ and from_gnash__ movies of the corpus
// were not needed for the sample; names that read the clock, random numbers, the network, the
// mouse or the keyboard were not tried).
const SKIPPED = {
  "avm1__device_font_spacing__test.swf": "measures device fonts: its lines depend on the machine's fonts",
  "avm1__edittext_place_caret__test.swf": "traces nothing without keyboard input",
  "avm1__looping_real_2_declared_1__test.swf": "traces on every loop and never falls silent",
  "avm1__movieclip_line_gradient_style__test.swf": "traces nothing (a drawing test)",
  "avm1__remove_different_level__test.swf": "traces nothing: loads a movie the corpus does not hold",
  "avm1__root_button_mode__test.swf": "traces nothing: loads a movie the corpus does not hold",
  "from_gnash__actionscript.all__argstest-v8__test.swf": "still tracing after 12 s",
  "from_gnash__misc-swfc.all__movieclip_destruction_test4__test.swf": "still tracing after 12 s",
  "from_gnash__misc-ming.all__Version4Loader__test.swf": "traces nothing: loads a movie the corpus does not hold",
  "swfcrate__PlaceObject2-ClipActionsV5-CS6.swf": "traces on every frame and never falls silent",
};

// The gnash library that the actionscript.all tests import as "Dejagnu.swf" (every copy of it
// in the corpus is the same movie). The copies play beside a copy of it.
const DEJAGNU = "from_gnash__actionscript.all__ASnative-v7__Dejagnu.swf";

// Movies that draw and then stand still: shapes, gradients, bitmaps, fonts and text, edit
// fields, buttons, filters and blend modes.
const VISUAL_MOVIES = [
  "from_shumway__acid__acid-filter-2__test.swf",
  "from_shumway__acid__acid-textfield__test.swf",
  "swfcrate__BitmapLineStyle.swf",
  "swfcrate__DefineButton2-CS6.swf",
  "swfcrate__DefineEditText-MX.swf",
  "swfcrate__DefineFont-MX.swf",
  "swfcrate__DefineFont2-CS6.swf",
  "swfcrate__DefineFont3-CS6.swf",
  "swfcrate__DefineFont3-DeviceText.swf",
  "swfcrate__DefineFont4.swf",
  "swfcrate__DefineShape3.swf",
  "swfcrate__DefineShape4.swf",
  "swfcrate__DefineText2-MX.swf",
  "swfcrate__PlaceObject3-Image.swf",
  "text__br_at_start__test.swf",
  "visual__blend_modes__darken__test.swf",
  "visual__blend_modes__multiply__test.swf",
  "visual__drawing_api__drawing_order__test.swf",
  "visual__focus_highlight__focus_highlight_basic__test.swf",
  "visual__fonts__glyph__test.swf",
  "visual__text__String_path_variable_button__test.swf",
];

// A movie has finished tracing when no line came for this long after its first one; at most it
// plays MAX_MS (a movie that imports a library starts tracing only once that has loaded).
const QUIET_MS = 2000;
// The tests that import the gnash library are done at the last line it traces, whatever pause
// the loading of the library made after their first lines.
const LIBRARY_USERS = /^from_gnash__actionscript\.all__/;
const LAST_LINE = /^#total tests run: \d+$/;
const MAX_MS = 12000;
// A still movie is looked at from FIRST_SHOT_MS after it is ready, every SHOT_EVERY_MS, until
// two looks in a row are the same (a busy machine may draw the first frames late); it must
// settle within SETTLE_MS.
const FIRST_SHOT_MS = 1000;
const SHOT_EVERY_MS = 700;
const SETTLE_MS = 12000;

// Plays a movie until it falls silent (or traces its last line) and returns its trace lines.
async function tracesOf(h, file) {
  const waitForLastLine = LIBRARY_USERS.test(path.basename(file));
  const session = await h.openMovie(file);
  try {
    let count = -1;
    let changed = Date.now();
    while (session.elapsed() < MAX_MS) {
      if (session.traces.length !== count) {
        count = session.traces.length;
        changed = Date.now();
      } else if (!waitForLastLine && count > 0 && Date.now() - changed >= QUIET_MS) {
        break;
      }
      if (waitForLastLine && LAST_LINE.test(session.traces.at(-1) ?? "")) {
        break;
      }
      await sleep(100);
    }
    return [...session.traces];
  } finally {
    await session.close();
  }
}

// The version byte of a movie file's header.
function versionOf(file) {
  return fs.readFileSync(file)[3];
}

// The picture a still movie settles on.
async function settledShotOf(h, file) {
  const session = await h.openMovie(file);
  try {
    let previous = null;
    for (let at = FIRST_SHOT_MS; at <= SETTLE_MS; at += SHOT_EVERY_MS) {
      await sleep(at - session.elapsed());
      const shot = readPng(await session.screenshot());
      if (previous && firstDifference(previous, shot) === null) {
        return shot;
      }
      previous = shot;
    }
    throw new Error(`${path.basename(file)} still changes after ${SETTLE_MS} ms`);
  } finally {
    await session.close();
  }
}

// How many colours an image shows, counted up to `enough`.
function colourCount(image, enough = 2) {
  const seen = new Set();
  for (let y = 0; y < image.height && seen.size < enough; y++) {
    for (let x = 0; x < image.width && seen.size < enough; x++) {
      seen.add(image.rgba(x, y).join());
    }
  }
  return seen.size;
}

// The first pixel where two images differ, or null when they are identical.
function firstDifference(a, b) {
  if (a.width !== b.width || a.height !== b.height) {
    return `sizes ${a.width}x${a.height} and ${b.width}x${b.height}`;
  }
  for (let y = 0; y < a.height; y++) {
    for (let x = 0; x < a.width; x++) {
      const p = a.rgba(x, y);
      const q = b.rgba(x, y);
      if (p.some((v, i) => v !== q[i])) {
        return `pixel (${x}, ${y}): ${p} and ${q}`;
      }
    }
  }
  return null;
}

describe("copies made by swf copy play as their originals", { concurrency: 3 }, () => {
  let h;
  let temp;
  // Originals play from a folder of links to the corpus, copies from a folder of their own;
  // each folder has its "Dejagnu.swf" (the original, or our copy of it).
  const original = (name) => path.join(temp.dir, "original", name);
  const copy = (name) => path.join(temp.dir, "copy", name);
  const compressed = (name) => path.join(temp.dir, "compressed", name);
  before(async () => {
    const cli = cliPath();
    temp = tempDir("tw-e2e-fidelity-");
    for (const folder of [original, copy, compressed]) fs.mkdirSync(path.dirname(folder("x")));
    const run = promisify(execFile);
    const library = [DEJAGNU, "Dejagnu.swf"];
    const movies = [...TRACE_MOVIES, ...VISUAL_MOVIES].map((name) => [name, name]);
    for (const [name, as] of [...movies, library]) {
      fs.symlinkSync(corpusMovie(name), original(as));
      await run(cli, ["swf", "copy", corpusMovie(name), copy(as)]);
    }
    for (const name of COMPRESSED_TRACE_MOVIES.filter((n) => !TRACE_MOVIES.includes(n))) {
      fs.symlinkSync(corpusMovie(name), original(name));
    }
    for (const [name, as] of COMPRESSED_TRACE_MOVIES.map((n) => [n, n])) {
      await run(cli, ["swf", "copy", "--compress", corpusMovie(name), compressed(as)]);
    }
    h = await Harness.start();
  });
  after(async () => {
    await h?.close();
    temp?.cleanup();
  });

  test("the sample is large enough", () => {
    assert.ok(TRACE_MOVIES.length >= 40, `${TRACE_MOVIES.length} trace movies`);
    assert.ok(VISUAL_MOVIES.length >= 20, `${VISUAL_MOVIES.length} visual movies`);
    for (const name of TRACE_MOVIES) {
      assert.match(name, /^(avm1__|from_gnash__)/);
      assert.ok(!(name in SKIPPED), name);
    }
    for (const name of COMPRESSED_TRACE_MOVIES) {
      assert.ok(versionOf(corpusMovie(name)) < 6, `${name} is of version 6 or later`);
      assert.ok(!(name in SKIPPED), name);
    }
  });

  test("the compressed copies are compressed and keep their version", () => {
    for (const name of COMPRESSED_TRACE_MOVIES) {
      const head = fs.readFileSync(compressed(name)).subarray(0, 4);
      assert.equal(head.subarray(0, 3).toString("latin1"), "CWS", name);
      assert.equal(head[3], versionOf(corpusMovie(name)), name);
    }
  });

  // Rows: the movie, and the folder its copy plays from.
  const traceRows = [
    ...TRACE_MOVIES.map((name) => [name, "copy", copy]),
    ...COMPRESSED_TRACE_MOVIES.map((name) => [name, "compressed copy", compressed]),
  ];
  for (const [name, kind, copied] of traceRows) {
    test(`traces of the ${kind}: ${name}`, { timeout: 60000 }, async () => {
      let [fromOriginal, fromCopy] = await Promise.all([
        tracesOf(h, original(name)),
        tracesOf(h, copied(name)),
      ]);
      if (!isDeepStrictEqual(fromCopy, fromOriginal)) {
        // A busy machine can cut a slow, looping movie short on one side: play both again, one
        // after the other, before judging. A copy that plays differently differs again.
        fromOriginal = await tracesOf(h, original(name));
        fromCopy = await tracesOf(h, copied(name));
      }
      assert.ok(fromOriginal.length > 0, "the original traced nothing");
      assert.deepEqual(fromCopy, fromOriginal);
    });
  }

  for (const name of VISUAL_MOVIES) {
    test(`pixels: ${name}`, { timeout: 60000 }, async () => {
      const [fromOriginal, fromCopy] = await Promise.all([
        settledShotOf(h, original(name)),
        settledShotOf(h, copy(name)),
      ]);
      assert.ok(colourCount(fromOriginal) > 1, "the original shows a blank stage");
      assert.equal(firstDifference(fromOriginal, fromCopy), null);
    });
  }
});
