#!/usr/bin/env node
// Nodes per second of several UCI engines on the same positions, in one run: for every
// position each engine searches in turn ("go movetime"), so that a machine whose speed
// drifts treats them alike. Each engine is asked for one thread.
//
// Usage: node bench/peer_nps.js [--movetime MS] [--rounds N] ENGINE [ENGINE ...]
//   ENGINE is a path, optionally followed by ":Option=value" pairs joined by ":"
//   (build/release/brinz:Max CPUs=1  /usr/games/glaurung:Threads=1  /usr/games/toga2).
// Prints each engine's nodes, seconds and nodes per second per position and in total,
// and its total against the first engine's.
'use strict';

const { spawn } = require('child_process');

const Positions = [
    'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1',
    'rnbqkb1r/1p2pppp/p2p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6',
    'r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10',
    'r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1',
    '5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1',
    'rnbqkb1r/pppp1ppp/8/4P3/6n1/7P/PPPNPPP1/R1BQKBNR b KQkq - 0 1',
    '8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1',
    '8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1',
];

function parseArgs(argv) {
    const args = { movetime: 3000, rounds: 1, engines: [] };
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === '--movetime') args.movetime = Number(argv[++i]);
        else if (argv[i] === '--rounds') args.rounds = Number(argv[++i]);
        else {
            const [path, ...options] = argv[i].split(':');
            args.engines.push({ path, options: options.map((o) => o.split('=')) });
        }
    }
    if (!args.engines.length || !(args.movetime > 0) || !(args.rounds > 0)) {
        console.error('usage: node bench/peer_nps.js [--movetime MS] [--rounds N] ENGINE [ENGINE ...]');
        process.exit(2);
    }
    return args;
}

// A running engine: send() writes a line, waitFor(test) resolves with the first line passing test.
function startEngine(path) {
    const child = spawn(path, [], { stdio: ['pipe', 'pipe', 'ignore'] });
    let buffer = '';
    let waiter = null;
    const lines = [];
    child.stdout.on('data', (chunk) => {
        buffer += chunk;
        let nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const line = buffer.slice(0, nl).trim();
            buffer = buffer.slice(nl + 1);
            lines.push(line);
            if (waiter && waiter.test(line)) {
                const w = waiter;
                waiter = null;
                w.resolve(line);
            }
        }
    });
    child.on('exit', () => waiter && waiter.reject(new Error(`${path} exited`)));
    return {
        lines,
        send: (line) => child.stdin.write(line + '\n'),
        waitFor: (test) => new Promise((resolve, reject) => { waiter = { test, resolve, reject }; }),
        quit: () => { child.stdin.write('quit\n'); child.stdin.end(); },
    };
}

// Nodes and milliseconds from the last info line that gives both.
function lastCount(lines) {
    for (let i = lines.length - 1; i >= 0; --i) {
        const nodes = / nodes (\d+)/.exec(lines[i]), time = / time (\d+)/.exec(lines[i]);
        if (nodes && time) return { nodes: Number(nodes[1]), ms: Number(time[1]) };
    }
    return { nodes: 0, ms: 0 };
}

async function main() {
    const args = parseArgs(process.argv.slice(2));
    const engines = [];
    for (const wanted of args.engines) {
        const engine = startEngine(wanted.path);
        engine.send('uci');
        await engine.waitFor((l) => l === 'uciok');
        for (const [name, value] of wanted.options) engine.send(`setoption name ${name} value ${value}`);
        engine.send('isready');
        await engine.waitFor((l) => l === 'readyok');
        engines.push({ wanted, engine, perPosition: Positions.map(() => ({ nodes: 0, ms: 0 })) });
    }
    for (let round = 0; round < args.rounds; ++round)
        for (let p = 0; p < Positions.length; ++p)
            for (const e of engines) {
                e.engine.send('ucinewgame');
                e.engine.send(`position fen ${Positions[p]}`);
                e.engine.send('isready');
                await e.engine.waitFor((l) => l === 'readyok');
                e.engine.lines.length = 0;
                e.engine.send(`go movetime ${args.movetime}`);
                await e.engine.waitFor((l) => l.startsWith('bestmove'));
                const c = lastCount(e.engine.lines);
                e.perPosition[p].nodes += c.nodes;
                e.perPosition[p].ms += c.ms;
            }
    const total = (e) => e.perPosition.reduce((a, c) => ({ nodes: a.nodes + c.nodes, ms: a.ms + c.ms }), { nodes: 0, ms: 0 });
    const nps = (c) => (c.ms > 0 ? Math.round((c.nodes * 1000) / c.ms) : 0);
    const first = nps(total(engines[0]));
    for (const e of engines) {
        console.log(`${e.wanted.path}`);
        e.perPosition.forEach((c, p) => console.log(`  ${p + 1}  ${String(nps(c)).padStart(9)} nps  ${Positions[p]}`));
        const t = total(e);
        console.log(`  total ${t.nodes} nodes in ${(t.ms / 1000).toFixed(1)} s: ${nps(t)} nps, ${(nps(t) / first).toFixed(3)} of the first`);
        e.engine.quit();
    }
}

main().catch((error) => {
    console.error(error.message);
    process.exit(1);
});
