// What the browser tests share: where the corpus lies, temporary folders, and reading traces.
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const HERE = path.dirname(fileURLToPath(import.meta.url));
const REPO = path.resolve(HERE, "..", "..", "..");

/** The command-line program: TW_CLI, else TW_PROGRAM_DIR's (ctest sets it), else the default build tree's. */
export function cliPath() {
  const dir = process.env.TW_PROGRAM_DIR ?? path.join(REPO, "build", "lib", "tunewright");
  const cli = process.env.TW_CLI ?? path.join(dir, "tunewright-cli");
  if (!fs.existsSync(cli)) {
    throw new Error(`tunewright-cli is missing at ${cli}: build the project, or set TW_CLI`);
  }
  return cli;
}

/** The shared corpus: TW_CORPUS_DIR, else ../shared/corpus beside the repository, else /work/shared/corpus. */
export function corpusDir() {
  const candidates = [
    process.env.TW_CORPUS_DIR,
    path.resolve(REPO, "..", "shared", "corpus"),
    "/work/shared/corpus",
  ].filter(Boolean);
  const found = candidates.find((dir) => fs.existsSync(path.join(dir, "swf")));
  if (!found) {
    throw new Error(`the SWF corpus is missing (looked in ${candidates.join(", ")}); set TW_CORPUS_DIR`);
  }
  return found;
}

/** A movie of the corpus, where it lies. */
export function corpusMovie(name) {
  const file = path.join(corpusDir(), "swf", name);
  if (!fs.existsSync(file)) {
    throw new Error(`corpus movie ${file} is missing`);
  }
  return file;
}

/** A fresh temporary folder, removed when the test's `after` hook calls the returned cleanup. */
export function tempDir(prefix = "tw-e2e-") {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  return { dir, cleanup: () => fs.rmSync(dir, { recursive: true, force: true }) };
}

export function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}
