// Exports every map of a table as .glb and .gltf with `kep export`, then has
// readers no one here wrote look at the result: the Khronos glTF validator
// must find no error, and `assimp info` must count the meshes, vertices and
// nodes that `kep info` says the host built, and find the scene where the
// host has it (the host's Z mirrored, as the export documents). The map's own
// surfaces, as `kep info` reads them after the build, must hold vertices and
// the triangles the host drew (three vertices each).
//
//   NODE_PATH=<node_modules folder> node check_exports.js KEP SCRATCH MAP...
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

const [kep, scratch, ...maps] = process.argv.slice(2);

async function validate(file) {
    const folder = path.dirname(file);
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            Promise.resolve(new Uint8Array(fs.readFileSync(path.join(folder, uri)))),
    });
    return report.issues.messages.filter((m) => m.severity === 0)
        .map((m) => `${m.code} ${m.message} at ${m.pointer}`);
}

function assimpInfo(file) {
    const text = execFileSync('assimp', ['info', file, '--raw'], { encoding: 'utf8' });
    const number = (label) => Number(new RegExp(`^${label}:\\s+(\\d+)`, 'm').exec(text)[1]);
    const point = (label) =>
        new RegExp(`^${label} point\\s+\\(([-\\d.e]+) ([-\\d.e]+) ([-\\d.e]+)\\)`, 'm')
            .exec(text).slice(1).map(Number);
    return { nodes: number('Nodes'), meshes: number('Meshes'), vertices: number('Vertices'),
             min: point('Minimum'), max: point('Maximum') };
}

function near(a, b) {
    return a.every((value, i) => Math.abs(value - b[i]) < 1e-3);
}

async function main() {
    let failures = 0, passes = 0;
    for (const map of maps) {
        const info = JSON.parse(execFileSync(kep, ['info', '--json', map], { encoding: 'utf8' }));
        const host = info.host;
        const roots = host.objects + info.entities.length;
        const expected = {
            meshes: host.meshes, vertices: host.vertices,
            // assimp gathers several root nodes under one of its own
            nodes: host.objects + host.limbs + info.entities.length + (roots > 1 ? 1 : 0),
            min: [host.bounds.min[0], host.bounds.min[1], -host.bounds.max[2]],
            max: [host.bounds.max[0], host.bounds.max[1], -host.bounds.min[2]],
        };
        const surfaces = info.meshes.flatMap((mesh) => mesh.surfaces);
        const triangles = surfaces.reduce((sum, surface) => sum + surface.triangles, 0);
        const mapProblems = [];
        if (3 * triangles !== host.vertices)
            mapProblems.push(`the surfaces hold ${triangles} triangles, the host ${host.vertices} vertices`);
        if (surfaces.some((surface) => surface.vertices <= 0))
            mapProblems.push('a surface holds no vertices');
        for (const extension of ['.glb', '.gltf']) {
            const out = path.join(scratch, path.basename(map, '.kep') + extension);
            execFileSync(kep, ['export', map, out], { stdio: 'ignore' });
            const problems = [...mapProblems, ...await validate(out)];
            const found = assimpInfo(out);
            for (const key of ['meshes', 'vertices', 'nodes'])
                if (found[key] !== expected[key])
                    problems.push(`assimp counts ${found[key]} ${key}, kep info ${expected[key]}`);
            if (!near(found.min, expected.min) || !near(found.max, expected.max))
                problems.push(`assimp finds the scene in ${found.min}..${found.max}, ` +
                              `the host in ${expected.min}..${expected.max}`);
            const name = `${path.basename(map)} as ${extension}`;
            if (problems.length) {
                ++failures;
                console.log(`FAIL ${name}:\n  ${problems.join('\n  ')}`);
            } else {
                ++passes;
                console.log(`ok   ${name}: ${found.meshes} meshes, ${found.vertices} vertices, ` +
                            `${found.nodes} nodes`);
            }
        }
    }
    console.log(`${passes} passed, ${failures} failed`);
    process.exit(failures ? 1 : 0);
}

main().catch((error) => {
    console.log(`check failed: ${error.stack || error}`);
    process.exit(1);
});
