#!/usr/bin/env node
// Checks chess960.js against the published counts of an EPD file (";D1 20 ;D2 400 ..."),
// up to depth 3: node chess960_perft.js tests/data/perft.epd. Exit status 1 on a mismatch.
'use strict';

const fs = require('fs');
const { Chess960, perft } = require('./chess960');

let failures = 0, checked = 0;
for (const line of fs.readFileSync(process.argv[2], 'utf8').split('\n')) {
    if (!line.trim()) continue;
    const [fen, ...counts] = line.split(';').map((s) => s.trim());
    for (const count of counts) {
        const [, depth, nodes] = /^D(\d+)\s+(\d+)$/.exec(count) || [];
        if (!depth || Number(depth) > 3) continue;
        const got = perft(new Chess960(fen), Number(depth));
        ++checked;
        if (got !== Number(nodes)) {
            ++failures;
            console.log(`${fen} depth ${depth}: ${got}, expected ${nodes}`);
        }
    }
}
console.log(`${checked} counts checked, ${failures} wrong`);
process.exit(failures || !checked ? 1 : 0);
