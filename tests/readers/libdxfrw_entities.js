// What libdxfrw read, as the readers' normalised JSON (see README.md): shared
// by the DXF and the DWG scripts, which differ only in how they open the file.
'use strict';

const DEG = 180 / Math.PI;
const pt = (c) => [c.x, c.y, c.z];

function entity(lib, e) {
  const T = lib.DRW_ETYPE;
  const t = e.eType.value;
  const out = { layer: e.layer };
  switch (t) {
    case T.LINE.value:
      return Object.assign(out, { type: 'LINE', p1: pt(e.basePoint), p2: pt(e.secPoint) });
    case T.CIRCLE.value:
      return Object.assign(out, { type: 'CIRCLE', center: pt(e.basePoint), radius: e.radius });
    case T.ARC.value:
      return Object.assign(out, {
        type: 'ARC', center: pt(e.basePoint), radius: e.radius,
        start: e.startAngle * DEG, end: e.endAngle * DEG,
      });
    case T.SOLID.value:
      return Object.assign(out, {
        type: 'SOLID',
        corners: [pt(e.basePoint), pt(e.secPoint), pt(e.thirdPoint), pt(e.fourPoint)],
      });
    case T.TEXT.value:  // libdxfrw hands text rotation over in degrees already
      return Object.assign(out, {
        type: 'TEXT', insert: pt(e.basePoint), height: e.height, rotation: e.angle,
        width: e.widthScale, generation: e.textGen, text: e.text,
      });
    case T.POLYLINE.value: {
      const list = e.getVertexList();
      const vertices = [];
      for (let i = 0, n = list.size(); i < n; ++i) {
        const v = list.get(i);
        vertices.push([v.basePoint.x, v.basePoint.y, v.stawidth, v.endwidth, v.bulge]);
      }
      return Object.assign(out, {
        type: 'POLYLINE', closed: (e.flags & 1) === 1,
        startWidth: e.defstawidth, endWidth: e.defendwidth, vertices,
      });
    }
    case T.INSERT.value:
      return Object.assign(out, {
        type: 'INSERT', block: e.name, insert: pt(e.basePoint), rotation: e.angle * DEG,
        scale: [e.xScale, e.yScale, e.zScale],
      });
    default:
      return Object.assign(out, { type: 'OTHER' + t });
  }
}

function list(lib, entities) {
  const out = [];
  for (let i = 0, n = entities.size(); i < n; ++i) out.push(entity(lib, entities.get(i)));
  return out;
}

module.exports = { list };
