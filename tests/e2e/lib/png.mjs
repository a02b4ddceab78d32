// Reads the 8-bit, non-interlaced PNG files that Chromium writes as screenshots.
import zlib from "node:zlib";

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
const CHANNELS = { 0: 1, 2: 3, 4: 2, 6: 4 };

function paeth(a, b, c) {
  const p = a + b - c;
  const pa = Math.abs(p - a);
  const pb = Math.abs(p - b);
  const pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

/** Decodes a PNG into {width, height, rgba(x, y) -> [r, g, b, a]}. */
export function readPng(buffer) {
  const buf = Buffer.from(buffer);
  if (buf.length < 8 || !buf.subarray(0, 8).equals(SIGNATURE)) {
    throw new Error("not a PNG file");
  }
  let pos = 8;
  let header = null;
  const idat = [];
  while (pos + 12 <= buf.length) {
    const length = buf.readUInt32BE(pos);
    const type = buf.toString("latin1", pos + 4, pos + 8);
    if (pos + 12 + length > buf.length) {
      throw new Error("truncated PNG chunk");
    }
    const data = buf.subarray(pos + 8, pos + 8 + length);
    pos += 12 + length;
    if (type === "IHDR") {
      header = {
        width: data.readUInt32BE(0),
        height: data.readUInt32BE(4),
        bitDepth: data[8],
        colorType: data[9],
        interlace: data[12],
      };
    } else if (type === "IDAT") {
      idat.push(data);
    } else if (type === "IEND") {
      break;
    }
  }
  if (!header) {
    throw new Error("PNG without IHDR");
  }
  const channels = CHANNELS[header.colorType];
  if (header.bitDepth !== 8 || !channels || header.interlace !== 0) {
    throw new Error(
      `unsupported PNG (bit depth ${header.bitDepth}, colour type ${header.colorType}, interlace ${header.interlace})`,
    );
  }
  const { width, height } = header;
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  if (raw.length < height * (stride + 1)) {
    throw new Error("PNG image data too short");
  }
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const out = y * stride;
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? pixels[out + i - channels] : 0;
      const b = y > 0 ? pixels[out - stride + i] : 0;
      const c = y > 0 && i >= channels ? pixels[out - stride + i - channels] : 0;
      let v = line[i];
      switch (filter) {
        case 0: break;
        case 1: v += a; break;
        case 2: v += b; break;
        case 3: v += (a + b) >> 1; break;
        case 4: v += paeth(a, b, c); break;
        default: throw new Error(`bad PNG filter ${filter}`);
      }
      pixels[out + i] = v & 0xff;
    }
  }
  return {
    width,
    height,
    rgba(x, y) {
      if (x < 0 || y < 0 || x >= width || y >= height) {
        throw new RangeError(`pixel (${x}, ${y}) outside ${width}x${height}`);
      }
      const at = y * stride + x * channels;
      const p = pixels.subarray(at, at + channels);
      switch (channels) {
        case 1: return [p[0], p[0], p[0], 255];
        case 2: return [p[0], p[0], p[0], p[1]];
        case 3: return [p[0], p[1], p[2], 255];
        default: return [p[0], p[1], p[2], p[3]];
      }
    },
  };
}

/** "#rrggbb" of a pixel, for readable assertions. */
export function hexColor([r, g, b]) {
  return "#" + [r, g, b].map((v) => v.toString(16).padStart(2, "0")).join("");
}
