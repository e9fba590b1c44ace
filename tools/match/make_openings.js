#!/usr/bin/env node
// Makes an opening set for the match runner: positions a few random legal plies from the
// start, kept when a fixed-depth search of a UCI engine finds them level.
//
// openings-1000.txt was made on the release build with
//   nice node tools/match/make_openings.js --engine build/release/brinz --count 1000 \
//       --depth 8 --seed 1 --min-plies 6 --max-plies 10 --limit 60 > tools/match/openings-1000.txt
// (one search thread, the hash cleared before each position, so the same engine and seed
// give the same file).
'use strict';

const path = require('path');
const { Chess } = require('chess.js');
const { Engine } = require('./match');

const USAGE = `usage: node make_openings.js --engine PATH [--count N] [--depth D] [--seed S]
                                [--min-plies A] [--max-plies B] [--limit CP]
Writes N move lines (A to B random plies from the start, default 6 to 10) to standard
output, each a distinct position whose score at depth D (default 6) is within CP
centipawns (default 60) of level. Seed default 1, count default 1000.`;

function parseArguments(argv) {
    const args = { engine: null, count: 1000, depth: 6, seed: 1, minPlies: 6, maxPlies: 10, limit: 60 };
    const numbers = { '--count': 'count', '--depth': 'depth', '--seed': 'seed', '--min-plies': 'minPlies',
                      '--max-plies': 'maxPlies', '--limit': 'limit' };
    for (let i = 0; i < argv.length; ++i) {
        const key = argv[i];
        if (key === '--help' || key === '-h') {
            console.log(USAGE);
            process.exit(0);
        }
        if (i + 1 >= argv.length) throw new Error(`${key} needs a value`);
        const value = argv[++i];
        if (key === '--engine') args.engine = value;
        else if (key in numbers) {
            args[numbers[key]] = parseInt(value, 10);
            if (!Number.isInteger(args[numbers[key]])) throw new Error(`${key} needs a whole number`);
        } else throw new Error(`unknown argument ${key}`);
    }
    if (!args.engine) throw new Error('--engine is required');
    if (!(args.count > 0 && args.depth > 0 && args.minPlies > 0 && args.maxPlies >= args.minPlies && args.limit >= 0))
        throw new Error('counts, depth and plies must be positive, --max-plies at least --min-plies');
    return args;
}

// The engine's score in centipawns from the last complete iteration, or null for a mate score.
async function scoreOf(engine, moves, depth) {
    engine.send('ucinewgame');
    await engine.ready();
    engine.send(`position startpos moves ${moves.join(' ')}`);
    engine.send(`go depth ${depth}`);
    const lines = await engine.waitFor((l) => l.startsWith('bestmove'), 600000);
    if (!lines) throw new Error(`${engine.name} gave no move`);
    let score = null;
    for (const l of lines) {
        const m = /\bscore (cp|mate) (-?\d+)/.exec(l);
        if (m && !/\b(lower|upper)bound\b/.test(l)) score = m[1] === 'cp' ? parseInt(m[2], 10) : null;
    }
    return score;
}

async function main() {
    const args = parseArguments(process.argv.slice(2));
    let state = (args.seed * 2654435761 + 12345) >>> 0;
    const next = () => {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        return state / 4294967296;
    };
    const engine = new Engine(path.resolve(args.engine), ['Max CPUs=1'], 'engine');
    await engine.start();
    const seen = new Set();
    let tried = 0;
    console.log(`# ${args.count} openings, ${args.minPlies} to ${args.maxPlies} random plies from the start, ` +
                `|score| <= ${args.limit} cp at depth ${args.depth} (seed ${args.seed}); made by make_openings.js`);
    for (let kept = 0; kept < args.count;) {
        const plies = args.minPlies + Math.floor(next() * (args.maxPlies - args.minPlies + 1));
        const board = new Chess();
        const moves = [];
        for (let i = 0; i < plies; ++i) {
            const legal = board.moves({ verbose: true });
            if (!legal.length) break;
            const m = legal[Math.floor(next() * legal.length)];
            board.move(m);
            moves.push(m.from + m.to + (m.promotion || ''));
        }
        tried += 1;
        // Same placement, side, castling and en passant: the same position, however reached.
        const key = board.fen().split(' ').slice(0, 4).join(' ');
        if (moves.length < plies || board.isGameOver() || seen.has(key)) continue;
        const score = await scoreOf(engine, moves, args.depth);
        if (score === null || Math.abs(score) > args.limit) continue;
        seen.add(key);
        kept += 1;
        console.log(moves.join(' '));
        if (kept % 100 === 0) console.error(`${kept} kept of ${tried} tried`);
    }
    await engine.stop();
    console.error(`${args.count} kept of ${tried} tried`);
}

main().catch((e) => {
    console.error(`make_openings: ${e.message}\n\n${USAGE}`);
    process.exit(2);
});
