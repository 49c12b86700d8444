// The page's console reads the program's bytes as a terminal does: the
// status line, rewritten in place with backspaces every frame, stays one
// line; a report after it starts on that line and goes on below.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { Console } from '../../web/console.js';

function write(con, text) {
  for (const ch of text) con.put(ch.charCodeAt(0));
}

// What the demo writes each frame: 156 backspaces, 78 blanks, 156
// backspaces, the status.
function status(con, text) {
  write(con, '\b'.repeat(156) + ' '.repeat(78) + '\b'.repeat(156) + text);
}

test('a status line rewritten in place is one line, the latest', () => {
  const con = new Console();
  status(con, 'Using BSP tree, 836 triangles total, 0 triangles drawn, tree depth: 22');
  status(con, 'Using BSP tree, 836 triangles total, 2657 triangles drawn, tree depth: 22');
  status(con, 'Not using BSP tree, 836 triangles');
  assert.equal(con.current(), 'Not using BSP tree, 836 triangles');
  assert.equal(con.text(), 'Not using BSP tree, 836 triangles');
});

test('lines before, and a report after the status line, are kept whole', () => {
  const con = new Console();
  write(con, 'No text in the window: no font\n');
  status(con, 'Using BSP tree, 3 triangles total, 3 triangles drawn, tree depth: 1');
  write(con, 'ORV_GL_ERROR:\nLine: 7\r\nCode: 0x00000500\n');
  assert.deepEqual(con.text().split('\n'), [
    'No text in the window: no font',
    'Using BSP tree, 3 triangles total, 3 triangles drawn, tree depth: 1ORV_GL_ERROR:',
    'Line: 7',
    'Code: 0x00000500',
  ]);
  assert.equal(con.current(), '');
});

test('backspaces stop at the start of the line, and a blank run is no text', () => {
  const con = new Console();
  write(con, 'ab\b\b\b\bc');
  assert.equal(con.current(), 'cb');
  write(con, '\n   \n');
  assert.equal(con.text(), 'cb\n');
});
