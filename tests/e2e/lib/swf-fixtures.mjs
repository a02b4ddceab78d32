// Writes the few small SWF movies the browser tests need and the corpus has not: written here
// byte by byte from the file format, independent of the C++ code under test.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

const TAG = {
  End: 0,
  ShowFrame: 1,
  SetBackgroundColor: 9,
  DoAction: 12,
  DefineSound: 14,
  SoundStreamHead: 18,
  SoundStreamBlock: 19,
  ExportAssets: 56,
};

function u16(v) {
  const b = Buffer.alloc(2);
  b.writeUInt16LE(v);
  return b;
}

function s16(v) {
  const b = Buffer.alloc(2);
  b.writeInt16LE(v);
  return b;
}

function u32(v) {
  const b = Buffer.alloc(4);
  b.writeUInt32LE(v);
  return b;
}

function cstring(s) {
  return Buffer.concat([Buffer.from(s, "utf8"), Buffer.from([0])]);
}

export function tag(code, body = Buffer.alloc(0)) {
  // The long form always: a reader must take it for any tag, and a sound block may pass 62 bytes.
  return Buffer.concat([u16((code << 6) | 0x3f), u32(body.length), body]);
}

// A RECT of twips with a fixed 16-bit field width (enough for stages up to 1638 px).
function rect(widthPx, heightPx) {
  const nbits = 16;
  const values = [0, widthPx * 20, 0, heightPx * 20];
  let bits = nbits.toString(2).padStart(5, "0");
  for (const v of values) {
    bits += (v & 0xffff).toString(2).padStart(nbits, "0");
  }
  bits = bits.padEnd(Math.ceil(bits.length / 8) * 8, "0");
  const out = Buffer.alloc(bits.length / 8);
  for (let i = 0; i < out.length; i++) {
    out[i] = parseInt(bits.slice(i * 8, i * 8 + 8), 2);
  }
  return out;
}

/** An uncompressed movie of the given tags (each frame's tags should end with ShowFrame). */
export function movie({ version = 8, width = 200, height = 100, frameRate = 25, frameCount, tags }) {
  const body = Buffer.concat([
    rect(width, height),
    u16(Math.round(frameRate * 256)),
    u16(frameCount),
    ...tags,
    tag(TAG.End),
  ]);
  return Buffer.concat([Buffer.from("FWS"), Buffer.from([version]), u32(body.length + 8), body]);
}

// ---- AVM1 actions -------------------------------------------------------------------------

function action(code, payload) {
  if (code < 0x80) {
    return Buffer.from([code]);
  }
  return Buffer.concat([Buffer.from([code]), u16(payload.length), payload]);
}

/** Push of strings, integers, booleans, null and undefined. */
export function push(...values) {
  const parts = values.map((v) => {
    if (typeof v === "string") {
      return Buffer.concat([Buffer.from([0]), cstring(v)]);
    }
    if (v === null) {
      return Buffer.from([2]);
    }
    if (v === undefined) {
      return Buffer.from([3]);
    }
    if (typeof v === "boolean") {
      return Buffer.from([5, v ? 1 : 0]);
    }
    if (Number.isInteger(v)) {
      const b = Buffer.alloc(5);
      b[0] = 7;
      b.writeInt32LE(v, 1);
      return b;
    }
    throw new Error(`cannot push ${v}`);
  });
  return action(0x96, Buffer.concat(parts));
}

export const op = {
  stop: action(0x07),
  pop: action(0x17),
  getVariable: action(0x1c),
  setVariable: action(0x1d),
  trace: action(0x26),
  getTime: action(0x34),
  newObject: action(0x40),
  add2: action(0x47),
  getMember: action(0x4e),
  setMember: action(0x4f),
  callMethod: action(0x52),
};

/** A function literal without parameters (pushes the function object). */
export function defineFunction(...body) {
  const code = Buffer.concat(body);
  return Buffer.concat([
    action(0x9b, Buffer.concat([cstring(""), u16(0), u16(code.length)])),
    code,
  ]);
}

export function doAction(...actions) {
  return tag(TAG.DoAction, Buffer.concat([...actions, Buffer.from([0])]));
}

/** Pushes `"<text>" + a + "<sep>" + b ...` built from pieces that each push one value. */
export function concat(...pieces) {
  const out = [pieces[0]];
  for (const p of pieces.slice(1)) {
    out.push(p, op.add2);
  }
  return Buffer.concat(out);
}

export const getVar = (name) => Buffer.concat([push(name), op.getVariable]);
export const member = (object, name) => Buffer.concat([getVar(object), push(name), op.getMember]);

// ---- MP3 ----------------------------------------------------------------------------------

const MP3_BITRATES = {
  1: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
  2: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
};
const MP3_RATES = { 3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000] };

/** Splits a Layer III file into frames: [{bytes, samples, sampleRate}]. */
export function mp3Frames(data) {
  let pos = 0;
  if (data.length >= 10 && data.toString("latin1", 0, 3) === "ID3") {
    pos = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]);
  }
  const frames = [];
  while (pos + 4 <= data.length) {
    const h = data.readUInt32BE(pos);
    if ((h >>> 21) !== 0x7ff) {
      break;
    }
    const versionBits = (h >>> 19) & 3;
    const layer = (h >>> 17) & 3;
    const bitrateIndex = (h >>> 12) & 15;
    const rateIndex = (h >>> 10) & 3;
    const padding = (h >>> 9) & 1;
    if (versionBits === 1 || layer !== 1 || bitrateIndex === 0 || bitrateIndex === 15 || rateIndex === 3) {
      throw new Error(`unexpected MP3 frame header at ${pos}`);
    }
    const mpeg1 = versionBits === 3;
    const bitrate = MP3_BITRATES[mpeg1 ? 1 : 2][bitrateIndex] * 1000;
    const sampleRate = MP3_RATES[versionBits][rateIndex];
    const length = Math.floor(((mpeg1 ? 144 : 72) * bitrate) / sampleRate) + padding;
    if (pos + length > data.length) {
      break;
    }
    frames.push({ bytes: data.subarray(pos, pos + length), samples: mpeg1 ? 1152 : 576, sampleRate });
    pos += length;
  }
  return frames;
}

/** A mono 16-bit WAV of a sine tone. */
export function sineWav({ seconds, sampleRate = 44100, frequency = 440, amplitude = 0.3 }) {
  const n = Math.round(seconds * sampleRate);
  const data = Buffer.alloc(n * 2);
  for (let i = 0; i < n; i++) {
    data.writeInt16LE(Math.round(Math.sin((2 * Math.PI * frequency * i) / sampleRate) * amplitude * 32767), i * 2);
  }
  const header = Buffer.alloc(44);
  header.write("RIFF", 0, "latin1");
  header.writeUInt32LE(36 + data.length, 4);
  header.write("WAVEfmt ", 8, "latin1");
  header.writeUInt32LE(16, 16);
  header.writeUInt16LE(1, 20);
  header.writeUInt16LE(1, 22);
  header.writeUInt32LE(sampleRate, 24);
  header.writeUInt32LE(sampleRate * 2, 28);
  header.writeUInt16LE(2, 32);
  header.writeUInt16LE(16, 34);
  header.write("data", 36, "latin1");
  header.writeUInt32LE(data.length, 40);
  return Buffer.concat([header, data]);
}

/** Encodes a sine tone with Debian's lame (CBR, mono, no info frame) into `dir`. */
export function lameTone(dir, { seconds, sampleRate = 44100, bitrate = 64, name = "tone.mp3" }) {
  const wav = path.join(dir, "tone.wav");
  const mp3 = path.join(dir, name);
  fs.writeFileSync(wav, sineWav({ seconds, sampleRate }));
  execFileSync("lame", ["--quiet", "-t", "-m", "m", "-b", String(bitrate), wav, mp3], {
    timeout: 60000,
  });
  return mp3;
}

// ---- Sound tags -------------------------------------------------------------------------

const SOUND_RATE_CODE = { 5512: 0, 11025: 1, 22050: 2, 44100: 3 };

function soundFormatByte(sampleRate) {
  const rate = SOUND_RATE_CODE[sampleRate];
  if (rate === undefined) {
    throw new Error(`no SWF sound rate for ${sampleRate} Hz`);
  }
  // MP3, the rate, 16-bit, mono.
  return (2 << 4) | (rate << 2) | (1 << 1);
}

/** An event sound of MP3 frames, exported under `name` for Sound.attachSound. */
export function exportedMp3Sound(id, name, frames) {
  const samples = frames.reduce((n, f) => n + f.samples, 0);
  const define = tag(
    TAG.DefineSound,
    Buffer.concat([
      u16(id),
      Buffer.from([soundFormatByte(frames[0].sampleRate)]),
      u32(samples),
      s16(0),
      ...frames.map((f) => f.bytes),
    ]),
  );
  const exportTag = tag(TAG.ExportAssets, Buffer.concat([u16(1), u16(id), cstring(name)]));
  return [define, exportTag];
}

/**
 * The stream sound of a timeline: a head and one block per frame, each block carrying the MP3
 * frames that cover its frame's share of samples.
 */
export function mp3Stream(frames, frameRate, frameCount) {
  const sampleRate = frames[0].sampleRate;
  const perFrame = sampleRate / frameRate;
  const format = soundFormatByte(sampleRate);
  const head = tag(
    TAG.SoundStreamHead,
    Buffer.concat([Buffer.from([format & 0x0f, format]), u16(Math.round(perFrame)), s16(0)]),
  );
  const blocks = [];
  let next = 0;
  let written = 0;
  for (let i = 0; i < frameCount; i++) {
    const start = written;
    const chunk = [];
    while (next < frames.length && written < (i + 1) * perFrame) {
      chunk.push(frames[next].bytes);
      written += frames[next].samples;
      next++;
    }
    blocks.push(
      chunk.length === 0
        ? null
        : tag(
          TAG.SoundStreamBlock,
          Buffer.concat([u16(written - start), s16(Math.round(i * perFrame - start)), ...chunk]),
        ),
    );
  }
  return { head, blocks };
}

export function backgroundColor(r, g, b) {
  return tag(TAG.SetBackgroundColor, Buffer.from([r, g, b]));
}

export const showFrame = () => tag(TAG.ShowFrame);

// ---- The movies ---------------------------------------------------------------------------

/**
 * clock.swf and tone.mp3 in `dir`: a timeline with a stream sound (a lame-encoded tone) that
 * traces on every frame "tick <frame> <getTimer> <event sound position> <loaded sound position>".
 * Frame 1 starts the same tone as an exported event sound and loads tone.mp3 as a streaming
 * Sound; the last frame stops.
 */
export function writeClockMovie(dir, { seconds = 4, frameRate = 25 } = {}) {
  const mp3Path = lameTone(dir, { seconds: seconds + 2 });
  const frames = mp3Frames(fs.readFileSync(mp3Path));
  const frameCount = Math.round(seconds * frameRate);
  const stream = mp3Stream(frames, frameRate, frameCount);
  const start = Buffer.concat([
    // ev = new Sound(); ev.attachSound("tone"); ev.start();
    push("ev", 0, "Sound"), op.newObject, op.setVariable,
    push("tone", 1), getVar("ev"), push("attachSound"), op.callMethod, op.pop,
    push(0), getVar("ev"), push("start"), op.callMethod, op.pop,
    // ld = new Sound(); ld.loadSound("tone.mp3", true);
    push("ld", 0, "Sound"), op.newObject, op.setVariable,
    push(true, "tone.mp3", 2), getVar("ld"), push("loadSound"), op.callMethod, op.pop,
  ]);
  const tick = Buffer.concat([
    concat(
      push("tick "), getVar("_currentframe"), push(" "), op.getTime,
      push(" "), member("ev", "position"), push(" "), member("ld", "position"),
    ),
    op.trace,
  ]);
  const tags = [backgroundColor(0x20, 0x40, 0x80), ...exportedMp3Sound(1, "tone", frames), stream.head];
  for (let i = 0; i < frameCount; i++) {
    if (stream.blocks[i]) {
      tags.push(stream.blocks[i]);
    }
    const actions = [];
    if (i === 0) {
      actions.push(start);
    }
    actions.push(tick);
    if (i === frameCount - 1) {
      actions.push(op.stop);
    }
    tags.push(doAction(...actions), showFrame());
  }
  const swfPath = path.join(dir, "clock.swf");
  fs.writeFileSync(swfPath, movie({ version: 8, width: 200, height: 100, frameRate, frameCount, tags }));
  return { swfPath, mp3Path, frameRate, frameCount, mp3FrameCount: frames.length };
}

/**
 * mouse.swf in `dir`: traces "ready", then "down <x> <y>" with the stage position of every
 * mouse press, so a test sees where on the stage a click landed.
 */
export function writeMouseMovie(dir, { width = 200, height = 100 } = {}) {
  const onDown = defineFunction(
    concat(push("down "), member("_root", "_xmouse"), push(" "), member("_root", "_ymouse")),
    op.trace,
  );
  const frame = doAction(
    push("ready"), op.trace,
    getVar("_root"), push("onMouseDown"), onDown, op.setMember,
    op.stop,
  );
  const swfPath = path.join(dir, "mouse.swf");
  fs.writeFileSync(
    swfPath,
    movie({ version: 8, width, height, frameRate: 25, frameCount: 1, tags: [backgroundColor(0x30, 0x90, 0x30), frame, showFrame()] }),
  );
  return swfPath;
}
