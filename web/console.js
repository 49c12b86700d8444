// console.js - the program's console on the page: the bytes it writes to
// standard output and standard error, read as a terminal reads them, so the
// status line it rewrites in place with backspaces is one line here too.

const BACKSPACE = 8;
const NEWLINE = 10;
const RETURN = 13;
const KEEP_LINES = 400;

export class Console {
  constructor() {
    this.lines = [];  // finished lines, oldest first (the last KEEP_LINES)
    this.line = [];   // the line being written, one character per cell
    this.cursor = 0;
  }

  // One byte the program wrote (Emscripten's stdout and stderr callbacks).
  put(byte) {
    if (byte === null || byte === undefined) return;
    if (byte === BACKSPACE) {
      this.cursor = Math.max(0, this.cursor - 1);
    } else if (byte === NEWLINE) {
      this.lines.push(this.current());
      if (this.lines.length > KEEP_LINES) this.lines.shift();
      this.line = [];
      this.cursor = 0;
    } else if (byte === RETURN) {
      this.cursor = 0;
    } else {
      this.line[this.cursor++] = String.fromCharCode(byte);
    }
  }

  // A whole line from the page itself or from Emscripten's runtime.
  putLine(text) {
    for (let i = 0; i < text.length; ++i) this.put(text.charCodeAt(i) & 0xff);
    this.put(NEWLINE);
  }

  // The line being written, as a terminal shows it (a shorter status line
  // written over a longer one leaves blanks, not text, at its end).
  current() {
    return Array.from(this.line, (c) => c ?? ' ').join('').trimEnd();
  }

  // Everything shown, the line being written last.
  text() {
    const cur = this.current();
    return this.lines.concat(cur ? [cur] : []).join('\n');
  }
}
