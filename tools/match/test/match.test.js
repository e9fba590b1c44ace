'use strict';
// The runner end to end against a scripted engine whose every game is known in advance.
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { parseArguments, openingOrder } = require('../match');

const RUNNER = path.join(__dirname, '..', 'match.js');
const FAKE = path.join(__dirname, '..', 'fixtures', 'fake_engine.js');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'brinz-match-'));
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

function run(extra) {
    // A long clock: the scripted engine answers at once, and a loaded machine must not turn that into a time loss.
    const result = spawnSync(process.execPath, [RUNNER, '--engine', FAKE, '--engine2', FAKE, '--max-moves', '2', '--tc', '60',
                                                '--quiet', '--pgn', path.join(scratch, 'games.pgn'), ...extra],
                             { encoding: 'utf8', timeout: 120000 });
    return { status: result.status, out: result.stdout + result.stderr };
}

test('the test stops at the pair that crosses a bound and says so in its exit status', () => {
    // [-100, 100]: a WW pair adds 0.5756 to the LLR, an LL pair takes it away, so the bound
    // 2.9444 falls to the sixth pair; all draws leave the LLR at 0 until the cap.
    for (const { extra, status, verdict, counts, games } of [
        { extra: ['--option2', 'Lose=*@*'], status: 0, verdict: 'H1 accepted', counts: 'LL 0  LD 0  DD/WL 0  WD 0  WW 6', games: 12 },
        { extra: ['--option1', 'Lose=*@*', '--concurrency', '2'], status: 3, verdict: 'H0 accepted',
          counts: 'LL 6  LD 0  DD/WL 0  WD 0  WW 0', games: 12 },
        { extra: ['--games', '7'], status: 4, verdict: 'unfinished', counts: 'LL 0  LD 0  DD/WL 3  WD 0  WW 0', games: 7 },
    ]) {
        const { status: actual, out } = run(['--sprt', '-100,100', ...extra]);
        assert.strictEqual(actual, status, out);
        // The final status closes the output, verdict last.
        assert.ok(out.includes(`${counts}\n${verdict}`), out);
        assert.match(out, new RegExp(`^games ${games} `, 'm'));
    }
});

test('concurrent games keep their own results when others crash or lose', () => {
    // Each opening decides its own pair, whichever worker plays it: first engine's view
    // (game 1 it has White, game 2 Black; no fault means a draw at the move limit).
    const openings = [
        'e2e4 e7e5',  // second always plays an illegal move: WW
        'd2d4 d7d5',  // second dies as Black: W, then D: WD
        'c2c4 c7c5',  // each loses with White: WL
        'g1f3 g8f6',  // first dies every game: LL
        'b1c3 b8c6',  // DD
        'e2e3 e7e6',  // D, then first loses with Black: LD
    ];
    const file = path.join(scratch, 'openings.txt');
    fs.writeFileSync(file, openings.join('\n') + '\n');
    const { status, out } = run(['--openings', file, '--sprt', '-100,100', '--games', '12', '--concurrency', '3',
                                 '--option1', 'Lose=c2c4@w e2e3@b', '--option1', 'Crash=g1f3@*',
                                 '--option2', 'Lose=e2e4@* c2c4@w', '--option2', 'Crash=d2d4@b']);
    assert.strictEqual(status, 4, out);
    assert.ok(out.includes('LL 1  LD 1  DD/WL 2  WD 1  WW 1'), out);
    assert.match(out, /^first engine: wins 4 {2}draws 4 {2}losses 4$/m);
    assert.match(out, /^time losses 0 {2}illegal moves 5 {2}crashes 3$/m);
});

test('without --sprt a pairing match reports the pair counts and keeps its exit status', () => {
    const { status, out } = run(['--games', '4', '--option2', 'Lose=*@w']);
    assert.strictEqual(status, 1, out);  // illegal moves are problems
    assert.ok(out.includes('LL 0  LD 0  DD/WL 0  WD 2  WW 0'), out);
    assert.ok(!out.includes('SPRT'), out);
});

test('openings come in file order or in a seeded shuffle', () => {
    assert.deepStrictEqual(openingOrder(5, null), [0, 1, 2, 3, 4]);
    const shuffled = openingOrder(100, 7);
    assert.deepStrictEqual(shuffled.slice().sort((a, b) => a - b), [...Array(100).keys()]);
    assert.notDeepStrictEqual(shuffled, [...Array(100).keys()]);
    assert.deepStrictEqual(openingOrder(100, 7), shuffled);
    assert.notDeepStrictEqual(openingOrder(100, 8), shuffled);
});

test('bad test arguments are refused', () => {
    for (const argv of [['--sprt', '10,0'], ['--sprt', '0'], ['--sprt', 'a,b'], ['--alpha', '0'], ['--beta', '0.7'],
                        ['--concurrency', '0'], ['--seed', 'x'], ['--report', '0']])
        assert.throws(() => parseArguments(['--engine', FAKE, ...argv]), Error, argv.join(' '));
    const args = parseArguments(['--engine', FAKE, '--sprt', '-10,0']);
    assert.deepStrictEqual([args.sprt, args.alpha, args.beta, args.games], [{ elo0: -10, elo1: 0 }, 0.05, 0.05, Infinity]);
    assert.strictEqual(parseArguments(['--engine', FAKE]).games, 2);
});

test('pondering: a guess that comes true gets ponderhit, a wrong one stop and a fresh go, and nothing is left over', () => {
    // The fakes play their first legal move and guess the opponent's first (true) or last (wrong).
    for (const { extra, hits, misses } of [
        { extra: [], hits: 8, misses: 0 },
        { extra: ['--option2', 'Guess=last'], hits: 4, misses: 4 },
    ]) {
        const { status, out } = run(['--ponder', '--games', '2', '--max-moves', '3', ...extra]);
        assert.strictEqual(status, 0, out);
        // Each game: the first mover's guesses are answered twice, the second's twice (the last is stopped at the end).
        assert.ok(out.includes(`ponder: ${hits} ponderhits, ${misses} stopped on a wrong guess`), out);
        assert.match(out, /^unexpected output lines 0$/m);
        assert.match(out, /^time losses 0 {2}illegal moves 0 {2}crashes 0$/m);
    }
    // An engine that answers "go ponder" at once is caught.
    const { out } = run(['--ponder', '--games', '2', '--max-moves', '3', '--option1', 'Early=yes']);
    assert.match(out, /bestmove while pondering/);
});
