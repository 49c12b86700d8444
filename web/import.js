// import.js - meshes of other formats, read on the page by three.js's
// loaders (Debian's libjs-three: OBJ, STL, PLY, glTF and GLB) and handed to
// the program as Orvane's mesh text, with the rules of the desktop's import:
// the whole scene as one mesh in world space, triangles only, colours from
// vertex colours or, failing those, one per face from its unit normal n,
// (0.5 + 0.5 n, 1).

const LOADERS = {
  obj: ['OBJLoader', 'text'],
  stl: ['STLLoader', 'binary'],
  ply: ['PLYLoader', 'binary'],
  gltf: ['GLTFLoader', 'binary'],
  glb: ['GLTFLoader', 'binary'],
};

// The extension of a file name, lower case ('' without one).
export function extensionOf(name) {
  const base = name.slice(name.lastIndexOf('/') + 1);
  const dot = base.lastIndexOf('.');
  return dot > 0 ? base.slice(dot + 1).toLowerCase() : '';
}

// Whether the page converts the file (otherwise it is Orvane's mesh text).
export function isForeign(name) {
  return Object.prototype.hasOwnProperty.call(LOADERS, extensionOf(name));
}

const THREE = './vendor/three';

async function loaderFor(ext) {
  const [name] = LOADERS[ext];
  const module = await import(`${THREE}/examples/jsm/loaders/${name}.js`);
  return new module[name]();
}

function arrayBuffer(bytes) {
  return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
}

// The scene of a file's bytes: a three.js object whose meshes are read. A
// glTF file's other files (buffers) are looked up by name in others (a
// Map of name to Blob, from the same drop or pick) or fetched from base.
async function parse(name, bytes, others, base) {
  const ext = extensionOf(name);
  const loader = await loaderFor(ext);
  if (ext === 'obj') return loader.parse(new TextDecoder().decode(bytes));
  if (ext === 'stl' || ext === 'ply') {
    const three = await import(`${THREE}/build/three.module.js`);
    return new three.Mesh(loader.parse(arrayBuffer(bytes)));
  }
  const urls = [];
  loader.manager.setURLModifier((url) => {
    const file = others.get(decodeURIComponent(url.slice(url.lastIndexOf('/') + 1)));
    if (!file) return url;
    const blobUrl = URL.createObjectURL(file);
    urls.push(blobUrl);
    return blobUrl;
  });
  try {
    const gltf = await new Promise((resolve, reject) =>
      loader.parse(arrayBuffer(bytes), base, resolve, reject));
    return gltf.scene;
  } finally {
    urls.forEach((u) => URL.revokeObjectURL(u));
  }
}

// A float32 value as text that reads back to the same float.
function num(v) {
  const f = Math.fround(v);
  return Number.isFinite(f) ? String(f) : '0';
}

function normalColour(ax, ay, az, bx, by, bz, cx, cy, cz) {
  const ux = bx - ax, uy = by - ay, uz = bz - az;
  const vx = cx - ax, vy = cy - ay, vz = cz - az;
  let nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const len = Math.hypot(nx, ny, nz);
  if (!(len > 0) || !Number.isFinite(len)) return [0.5, 0.5, 0.5, 1];
  nx /= len; ny /= len; nz /= len;
  return [0.5 + 0.5 * nx, 0.5 + 0.5 * ny, 0.5 + 0.5 * nz, 1];
}

// The scene's triangles as mesh text, with their count; an Error when it
// holds none.
function sceneText(scene, name) {
  const pos = [], tri = [], clr = [], triClr = [];
  scene.updateMatrixWorld(true);
  scene.traverse((object) => {
    if (!object.isMesh || !object.geometry || !object.geometry.attributes.position) return;
    const geometry = object.geometry;
    const p = geometry.attributes.position;
    const c = geometry.attributes.color;
    const base = pos.length / 3;
    const clrBase = clr.length / 4;
    const world = object.matrixWorld.elements;
    for (let i = 0; i < p.count; ++i) {
      const x = p.getX(i), y = p.getY(i), z = p.getZ(i);
      const w = world[3] * x + world[7] * y + world[11] * z + world[15];
      pos.push((world[0] * x + world[4] * y + world[8] * z + world[12]) / w,
               (world[1] * x + world[5] * y + world[9] * z + world[13]) / w,
               (world[2] * x + world[6] * y + world[10] * z + world[14]) / w);
      if (c) clr.push(c.getX(i), c.getY(i), c.getZ(i), c.itemSize > 3 ? c.getW(i) : 1);
    }
    const index = geometry.index;
    const count = index ? index.count : p.count;
    for (let t = 0; t + 2 < count; t += 3) {
      const k = [0, 1, 2].map((j) => (index ? index.getX(t + j) : t + j));
      tri.push(base + k[0], base + k[1], base + k[2]);
      if (c) {
        triClr.push(clrBase + k[0], clrBase + k[1], clrBase + k[2]);
      } else {
        const q = (j) => pos.slice(3 * (base + k[j]), 3 * (base + k[j]) + 3);
        const id = clr.length / 4;
        clr.push(...normalColour(...q(0), ...q(1), ...q(2)));
        triClr.push(id, id, id);
      }
    }
  });
  if (tri.length === 0) throw new Error('holds no triangles');
  const out = [`// Converted by the page from ${name.replace(/[\r\n]/g, ' ')}`, 'Mesh', '{'];
  const values = (label, list, n) => {
    out.push(`    ${label}`, '    {');
    for (let i = 0; i < list.length / n; ++i)
      out.push(`        ${i} { ${list.slice(n * i, n * i + n).map(num).join(' ')} }`);
    out.push('    }');
  };
  const faces = (label, list) => {
    out.push(`    ${label}`, '    {');
    for (let i = 0; i < list.length / 3; ++i)
      out.push(`        ${i} { ${list[3 * i]} ${list[3 * i + 1]} ${list[3 * i + 2]} }`);
    out.push('    }');
  };
  values('Position', pos, 3);
  faces('Face_Position', tri);
  values('Color', clr, 4);
  faces('Face_Color', triClr);
  out.push('}', '');
  return { text: out.join('\n'), triangles: tri.length / 3 };
}

// Converts a file of another format to mesh text: { text, triangles }, or
// an Error saying why not.
export async function toMeshText(name, bytes, others = new Map(), base = '') {
  let scene;
  try {
    scene = await parse(name, bytes, others, base);
  } catch (e) {
    throw new Error(`three.js cannot read it (${e && e.message ? e.message : e})`);
  }
  return sceneText(scene, name);
}
