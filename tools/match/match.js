#!/usr/bin/env node
// Plays UCI engines against each other, or one engine against itself, under a clock.
// Every move an engine answers is checked with chess.js, a rules library that shares no
// code with the engines, so a wrong move generator cannot vouch for itself.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const { Chess: StandardChess } = require('chess.js');
const { Chess960 } = require('./chess960');
const { Sprt, describe } = require('./sprt');

// The rules library of the match: chess.js, or for --chess960 the small library beside
// this file (chess.js knows castling only from the standard array).
let Chess = StandardChess;

const USAGE = `usage: node match.js --engine PATH [--engine2 PATH] [options]

  --engine PATH         first engine (a UCI program)
  --engine2 PATH        second engine; the first plays itself when absent
  --tc SPEC             time control: BASE+INC in seconds ("2+0.05") or MOVES/BASE[+INC]
                        ("40/10": 40 moves in 10 seconds, repeating); default 2+0.05
  --games N             games to play (default 2); against another engine each opening is
                        played twice with colours swapped, in self-play each game takes the next
  --openings FILE       one opening a line: a FEN, or moves from the start position in
                        coordinate notation ("e2e4 e7e5 g1f3"); "#" starts a comment
  --option NAME=VALUE   UCI option for both engines (repeatable)
  --option1, --option2  UCI option for one engine only
  --pgn FILE            PGN output (default match.pgn)
  --margin MS           milliseconds an engine may run over its clock (default 0)
  --max-moves N         adjudicate a draw after N moves of each side (default: none)
  --random-plies N      add N random legal plies (seeded by the game number) to each opening,
                        so that repeated openings give different games (default 0)
  --chess960            Chess960: openings are FENs of Chess960 arrays (X-FEN or Shredder-FEN),
                        the engines get UCI_Chess960=true and castle as king takes own rook,
                        and every move is checked by chess960.js instead of chess.js
  --quiet               no line per game
  --ponder              the engines get Ponder=true and ponder as under an interface: after a
                        move with a "ponder" guess, the runner sends "go ponder" on the guessed
                        position, then "ponderhit" when the guess is played (the clock runs
                        from there) or "stop" (answer discarded) and a fresh "go" when it is not
  --concurrency K       play K games at once, each with its own engine processes (default 1)
  --seed N              take the openings in an order shuffled by N instead of file order
  --sprt ELO0,ELO1      play game pairs (each opening with both colours) until a sequential
                        test decides between H0: Elo = ELO0 and H1: Elo = ELO1 (logistic Elo
                        of the first engine against the second, pentanomial model); --games
                        then caps the run (no cap by default). Exit status: 0 H1 accepted,
                        3 H0 accepted, 4 unfinished (cap reached)
  --alpha A, --beta B   error rates of the test (default 0.05 each)
  --report N            pairs between two status lines of the test (default 10)`;

function parseArguments(argv) {
    const args = { engine: null, engine2: null, tc: '2+0.05', games: null, openings: null, options: [],
                   options1: [], options2: [], pgn: 'match.pgn', margin: 0, maxMoves: 0, randomPlies: 0, quiet: false, ponder: false,
                   concurrency: 1, seed: null, sprt: null, alpha: 0.05, beta: 0.05, report: 10, chess960: false };
    for (let i = 0; i < argv.length; ++i) {
        const key = argv[i];
        const value = () => {
            if (i + 1 >= argv.length) throw new Error(`${key} needs a value`);
            return argv[++i];
        };
        switch (key) {
            case '--engine': args.engine = value(); break;
            case '--engine2': args.engine2 = value(); break;
            case '--tc': args.tc = value(); break;
            case '--games': args.games = parseInt(value(), 10); break;
            case '--openings': args.openings = value(); break;
            case '--option': args.options.push(value()); break;
            case '--option1': args.options1.push(value()); break;
            case '--option2': args.options2.push(value()); break;
            case '--pgn': args.pgn = value(); break;
            case '--margin': args.margin = parseInt(value(), 10); break;
            case '--max-moves': args.maxMoves = parseInt(value(), 10); break;
            case '--random-plies': args.randomPlies = parseInt(value(), 10); break;
            case '--quiet': args.quiet = true; break;
            case '--ponder': args.ponder = true; break;
            case '--concurrency': args.concurrency = parseInt(value(), 10); break;
            case '--seed': args.seed = parseInt(value(), 10); break;
            case '--sprt': {
                const text = value();
                const match = /^(-?\d+(?:\.\d+)?),(-?\d+(?:\.\d+)?)$/.exec(text);
                if (!match) throw new Error(`--sprt needs ELO0,ELO1, not "${text}"`);
                args.sprt = { elo0: parseFloat(match[1]), elo1: parseFloat(match[2]) };
                break;
            }
            case '--alpha': args.alpha = parseFloat(value()); break;
            case '--beta': args.beta = parseFloat(value()); break;
            case '--report': args.report = parseInt(value(), 10); break;
            case '--chess960': args.chess960 = true; break;
            case '--help': case '-h': console.log(USAGE); process.exit(0); break;
            default: throw new Error(`unknown argument ${key}`);
        }
    }
    if (!args.engine) throw new Error('--engine is required');
    if (args.games === null) args.games = args.sprt ? Infinity : 2;
    if (args.chess960) {
        Chess = Chess960;
        args.options.push('UCI_Chess960=true');
    }
    if (args.ponder) args.options.push('Ponder=true');
    if (!(args.games > 0)) throw new Error('--games must be a positive number');
    if (!(args.concurrency >= 1)) throw new Error('--concurrency must be a positive number');
    if (args.seed !== null && !Number.isInteger(args.seed)) throw new Error('--seed must be a whole number');
    if (args.sprt && !(args.sprt.elo0 < args.sprt.elo1)) throw new Error('--sprt needs ELO0 < ELO1');
    for (const rate of ['alpha', 'beta'])
        if (!(args[rate] > 0 && args[rate] < 0.5)) throw new Error(`--${rate} must lie between 0 and 0.5`);
    if (!(args.report >= 1)) throw new Error('--report must be a positive number');
    return args;
}

// "2+0.05" or "40/10" or "40/10+0.1" -> milliseconds and moves per period (0 = whole game).
function parseTimeControl(control) {
    const match = /^(?:(\d+)\/)?(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(control);
    if (!match) throw new Error(`bad time control "${control}"`);
    return {
        movesPerPeriod: match[1] ? parseInt(match[1], 10) : 0,
        baseMs: Math.round(parseFloat(match[2]) * 1000),
        incrementMs: match[3] ? Math.round(parseFloat(match[3]) * 1000) : 0,
        text: control,
    };
}

// Each opening line becomes a FEN and the moves played from it, all checked here.
function loadOpenings(file) {
    if (!file) return [{ fen: new Chess().fen(), moves: [], name: 'start position' }];
    const openings = [];
    for (const [number, raw] of fs.readFileSync(file, 'utf8').split('\n').entries()) {
        const line = raw.replace(/#.*/, '').trim();
        if (!line) continue;
        const board = new Chess();
        if (line.includes('/')) {
            board.load(line);  // throws on a malformed FEN
            openings.push({ fen: board.fen(), moves: [], name: line });
        } else {
            const moves = line.split(/\s+/);
            for (const m of moves)
                if (!playCoordinateMove(board, m)) throw new Error(`${file}:${number + 1}: illegal move ${m}`);
            openings.push({ fen: new Chess().fen(), moves, name: line });
        }
    }
    if (openings.length === 0) throw new Error(`${file} holds no opening`);
    return openings;
}

// Plays "e2e4" / "e7e8q" on the board; false when the rules library refuses it.
function playCoordinateMove(board, text) {
    const match = /^([a-h][1-8])([a-h][1-8])([qrbn])?$/.exec(text);
    if (!match) return false;
    try {
        return board.move({ from: match[1], to: match[2], promotion: match[3] }) !== null;
    } catch (e) {
        return false;
    }
}

// One engine process, spoken to line by line.
class Engine {
    constructor(file, options, label) {
        this.file = file;
        this.options = options;
        this.label = label;
        this.name = path.basename(file);
        this.process = null;
    }

    async start() {
        this.lines = [];
        this.waiter = null;
        this.exited = false;
        this.unexpected = [];
        this.process = spawn(this.file, [], { stdio: ['pipe', 'pipe', 'inherit'], cwd: path.dirname(this.file) });
        this.process.stdin.on('error', () => {});  // a dead engine is noticed by its exit
        let pending = '';
        this.process.stdout.on('data', (chunk) => {
            pending += chunk.toString();
            let at;
            while ((at = pending.indexOf('\n')) >= 0) {
                this.lines.push(pending.slice(0, at).replace(/\r$/, ''));
                pending = pending.slice(at + 1);
            }
            this.wake();
        });
        this.process.on('exit', (code, signal) => {
            this.exited = true;
            this.exitStatus = signal ? `signal ${signal}` : `status ${code}`;
            this.wake();
        });
        this.process.on('error', (error) => {
            this.exited = true;
            this.exitStatus = error.message;
            this.wake();
        });
        this.send('uci');
        const identity = await this.waitFor((l) => l === 'uciok', 10000);
        if (!identity) throw new Error(`${this.file} did not answer uci`);
        for (const l of identity) if (l.startsWith('id name ')) this.name = l.slice(8).trim();
        for (const option of this.options) {
            const at = option.indexOf('=');
            if (at < 0) throw new Error(`option "${option}" is not NAME=VALUE`);
            this.send(`setoption name ${option.slice(0, at)} value ${option.slice(at + 1)}`);
        }
        await this.ready();
    }

    wake() {
        if (this.waiter) {
            const w = this.waiter;
            this.waiter = null;
            w();
        }
    }

    send(line) {
        if (!this.exited) this.process.stdin.write(line + '\n');
    }

    // Reads lines until `accept` takes one; returns all lines read, or null when the time
    // passes or the engine dies first.
    async waitFor(accept, timeoutMs) {
        const deadline = Date.now() + timeoutMs;
        const read = [];
        for (;;) {
            while (this.lines.length) {
                const line = this.lines.shift();
                read.push(line);
                if (accept(line)) return read;
            }
            const left = deadline - Date.now();
            if (this.exited || left <= 0) return null;
            await new Promise((resolve) => {
                const timer = setTimeout(resolve, left);
                this.waiter = () => {
                    clearTimeout(timer);
                    resolve();
                };
            });
        }
    }

    async ready() {
        this.send('isready');
        if (!(await this.waitFor((l) => l === 'readyok', 10000))) throw new Error(`${this.name} did not answer isready`);
    }

    // Lines that are neither the protocol's answers nor its info lines: diagnostics.
    noteUnexpected(lines) {
        for (const l of lines)
            if (!/^(info( |$)|bestmove |readyok$)/.test(l)) this.unexpected.push(l);
    }

    async stop() {
        if (!this.process || this.exited) return;
        this.send('quit');
        const start = Date.now();
        while (!this.exited && Date.now() - start < 2000) await new Promise((r) => setTimeout(r, 20));
        if (!this.exited) this.process.kill('SIGKILL');
        while (!this.exited) await new Promise((r) => setTimeout(r, 20));
    }
}

// The opening with `plies` random legal moves added, drawn from a generator seeded by `seed`;
// it stops early rather than play into a finished game.
function withRandomPlies(opening, plies, seed) {
    if (!plies) return opening;
    let state = (seed * 2654435761 + 12345) >>> 0;
    const next = () => {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        return state / 4294967296;
    };
    const board = new Chess(opening.fen);
    for (const m of opening.moves) playCoordinateMove(board, m);
    const moves = opening.moves.slice();
    for (let i = 0; i < plies; ++i) {
        const legal = board.moves({ verbose: true });
        if (!legal.length) break;
        const m = legal[Math.floor(next() * legal.length)];
        board.move(m);
        if (board.isGameOver()) {
            board.undo();
            break;
        }
        moves.push(m.from + m.to + (m.promotion || ''));
    }
    return { fen: opening.fen, moves, name: `${opening.name} +${moves.length - opening.moves.length}` };
}

function pgnResult(winner) {
    return winner === 'w' ? '1-0' : winner === 'b' ? '0-1' : '1/2-1/2';
}

// Plays one game. `white` and `black` are Engine objects; returns the game record.
async function playGame(white, black, opening, tc, args, round) {
    const board = new Chess(opening.fen);
    for (const m of opening.moves) playCoordinateMove(board, m);
    const startFen = opening.fen;
    const played = opening.moves.slice();
    const engines = { w: white, b: black };
    const clock = { w: tc.baseMs, b: tc.baseMs };
    const movesMade = { w: 0, b: 0 };
    // The guessed move each engine ponders on, while it ponders.
    const pondering = { w: null, b: null };
    const record = { white: white.name, black: black.name, round, opening: opening.name, result: null,
                     reason: null, loser: null, illegal: false, timeLoss: false, crash: null, moves: 0,
                     ponderHits: 0, ponderMisses: 0 };
    const positionLine = (moves) => `position fen ${startFen}${moves.length ? ' moves ' + moves.join(' ') : ''}`;
    const goLine = (side) => {
        const movesToGo = tc.movesPerPeriod ? tc.movesPerPeriod - (movesMade[side] % tc.movesPerPeriod) : 0;
        // Whole milliseconds, rounded down: an engine is never told it has more than it has.
        let go = `wtime ${Math.max(Math.floor(clock.w), 1)} btime ${Math.max(Math.floor(clock.b), 1)}`;
        if (tc.incrementMs) go += ` winc ${tc.incrementMs} binc ${tc.incrementMs}`;
        if (movesToGo) go += ` movestogo ${movesToGo}`;
        return go;
    };
    const isBestMove = (l) => l.startsWith('bestmove');
    // An answer already waiting when the runner ends a ponder search came before ponderhit or stop.
    const notePremature = (engine) => {
        if (engine.lines.some(isBestMove)) engine.unexpected.push(`${engine.name}: bestmove while pondering`);
    };

    const result = await playMoves();
    // An engine still pondering at the end is stopped and its answer read, so that the answer
    // cannot slip into the next game; one that does not answer is ended (and restarted).
    for (const side of ['w', 'b']) {
        if (!pondering[side]) continue;
        const engine = engines[side];
        pondering[side] = null;
        notePremature(engine);
        engine.send('stop');
        const lines = await engine.waitFor(isBestMove, 10000);
        if (lines) engine.noteUnexpected(lines);
        else {
            result.crash = result.crash || `${engine.name} did not answer stop after the game`;
            if (!engine.exited) await engine.stop();
        }
    }
    return result;

    async function playMoves() {
        for (const [side, e] of [['w', white], ['b', black]]) {
            e.send('ucinewgame');
            try {
                await e.ready();
            } catch (error) {
                // An engine lost before the first move loses this game alone.
                record.crash = e.exited ? `${e.name} ended (${e.exitStatus})` : `${e.name} did not answer isready`;
                if (!e.exited) await e.stop();
                return finish(record, side === 'w' ? 'b' : 'w', 'crash');
            }
        }

        for (;;) {
            // The rules library decides how the game ends, not the engines.
            if (board.isCheckmate()) return finish(record, board.turn() === 'w' ? 'b' : 'w', 'checkmate');
            if (board.isStalemate()) return finish(record, null, 'stalemate');
            if (board.isInsufficientMaterial()) return finish(record, null, 'insufficient material');
            if (board.isThreefoldRepetition()) return finish(record, null, 'threefold repetition');
            if (board.isDrawByFiftyMoves()) return finish(record, null, 'fifty-move rule');
            if (args.maxMoves && movesMade.w >= args.maxMoves && movesMade.b >= args.maxMoves)
                return finish(record, null, 'move limit');

            const side = board.turn();
            const opponent = side === 'w' ? 'b' : 'w';
            const engine = engines[side];
            const go = `go ${goLine(side)}`;
            let lines = null;
            let started;
            const guess = pondering[side];
            pondering[side] = null;
            if (guess && guess === played[played.length - 1]) {
                // The guess came true: the engine's clock runs from the ponderhit on.
                record.ponderHits += 1;
                notePremature(engine);
                started = process.hrtime.bigint();
                engine.send('ponderhit');
            } else {
                if (guess) {
                    record.ponderMisses += 1;
                    notePremature(engine);
                    engine.send('stop');
                    const discarded = await engine.waitFor(isBestMove, 10000);
                    if (!discarded) return noAnswer(engine, side, 'did not answer stop');
                    engine.noteUnexpected(discarded);
                }
                engine.send(positionLine(played));
                engine.send(go);
                started = process.hrtime.bigint();
            }
            // Waiting goes well past the clock so that a late answer counts as a time loss, not a crash.
            lines = await engine.waitFor(isBestMove, clock[side] + args.margin + 10000);
            const usedMs = Number(process.hrtime.bigint() - started) / 1e6;
            if (!lines) return noAnswer(engine, side, 'gave no move');
            engine.noteUnexpected(lines);
            const before = clock[side];
            clock[side] -= usedMs;
            if (record.leastLeft === undefined || clock[side] < record.leastLeft) record.leastLeft = clock[side];
            if (clock[side] < -args.margin) {
                record.timeLoss = true;
                record.timeDetail = `${Math.round(before)} ms on the clock, answered after ${Math.round(usedMs)} ms (${go})`;
                // Out of time against a lone king (or material that can never mate) is still a draw.
                return finish(record, canEverMate(board, opponent) ? opponent : null, 'time forfeit', side);
            }
            const words = lines[lines.length - 1].split(/\s+/);
            const move = words[1] || '';
            if (!playCoordinateMove(board, move)) {
                record.illegal = true;
                record.illegalMove = `${move} in ${board.fen()}`;
                return finish(record, opponent, `illegal move ${move}`, side);
            }
            played.push(move);
            movesMade[side] += 1;
            record.moves += 1;
            clock[side] += tc.incrementMs;
            if (tc.movesPerPeriod && movesMade[side] % tc.movesPerPeriod === 0) clock[side] += tc.baseMs;
            if (args.ponder && words[2] === 'ponder' && !board.isGameOver()) {
                const guessed = words[3] || '';
                // A guess the rules refuse is a fault of the engine's, noted but not played.
                if (!playCoordinateMove(board, guessed)) engine.unexpected.push(`${engine.name}: illegal ponder move ${guessed}`);
                else {
                    board.undo();
                    engine.send(positionLine(played.concat([guessed])));
                    engine.send(`go ponder ${goLine(side)}`);
                    pondering[side] = guessed;
                }
            }
        }
    }

    async function noAnswer(engine, side, what) {
        // An engine that never answers is ended, so that a late answer cannot slip into the next game.
        const died = engine.exited;
        if (!died) await engine.stop();
        record.crash = died ? `${engine.name} ended (${engine.exitStatus})` : `${engine.name} ${what}`;
        return finish(record, side === 'w' ? 'b' : 'w', died ? 'crash' : 'no answer');
    }

    function finish(rec, winner, reason, loser) {
        rec.result = pgnResult(winner);
        rec.reason = reason;
        rec.loser = loser || (winner ? (winner === 'w' ? 'b' : 'w') : null);
        rec.pgn = pgnOf(rec, startFen, board, tc);
        return rec;
    }
}

// Whether `side` still has material that could give mate (a lone king or a lone minor cannot).
function canEverMate(board, side) {
    let minor = 0;
    for (const row of board.board())
        for (const square of row) {
            if (!square || square.color !== side) continue;
            if (square.type === 'p' || square.type === 'r' || square.type === 'q') return true;
            if (square.type === 'n' || square.type === 'b') minor += 1;
        }
    return minor >= 2;
}

function pgnOf(record, startFen, board, tc) {
    const headers = [
        ['Event', 'Brinz match'], ['Site', 'local'], ['Date', new Date().toISOString().slice(0, 10).replace(/-/g, '.')],
        ['Round', String(record.round)], ['White', record.white], ['Black', record.black],
        ['Result', record.result], ['TimeControl', tc.text], ['Termination', record.reason],
    ];
    if (Chess === Chess960) headers.push(['Variant', 'Chess960']);
    if (startFen !== new Chess().fen()) headers.push(['SetUp', '1'], ['FEN', startFen]);
    const san = board.history();
    let text = headers.map(([k, v]) => `[${k} "${v}"]`).join('\n') + '\n\n';
    let moveNumber = parseInt(startFen.split(' ')[5], 10) || 1;
    let words = [];
    let white = startFen.split(' ')[1] === 'w';
    if (!white && san.length) words.push(`${moveNumber}...`);
    for (const s of san) {
        if (white) words.push(`${moveNumber}.`);
        words.push(s);
        if (!white) moveNumber += 1;
        white = !white;
    }
    words.push(record.result);
    let line = '';
    for (const w of words) {
        if (line.length + w.length + 1 > 79) {
            text += line + '\n';
            line = '';
        }
        line += (line ? ' ' : '') + w;
    }
    return text + line + '\n\n';
}

// The openings' order: file order, or a shuffle drawn from `seed`.
function openingOrder(count, seed) {
    const order = [...Array(count).keys()];
    if (seed === null) return order;
    let state = (seed * 2246822519 + 374761393) >>> 0;
    const next = () => {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        return state / 4294967296;
    };
    for (let i = count - 1; i > 0; --i) {
        const j = Math.floor(next() * (i + 1));
        [order[i], order[j]] = [order[j], order[i]];
    }
    return order;
}

async function main() {
    let args;
    try {
        args = parseArguments(process.argv.slice(2));
        args.timeControl = parseTimeControl(args.tc);
        args.openingList = loadOpenings(args.openings);
    } catch (e) {
        console.error(`match: ${e.message}\n\n${USAGE}`);
        process.exit(2);
    }
    const tc = args.timeControl;
    const sprt = args.sprt ? new Sprt(args.sprt.elo0, args.sprt.elo1, args.alpha, args.beta) : null;
    // Against another engine, or in a test, each opening is played twice with the colours swapped.
    const paired = !!args.engine2 || !!sprt;
    const order = openingOrder(args.openingList.length, args.seed);
    // Every worker has its own two engine processes, so that a game's clock and a crash stay its own.
    const workers = [];
    for (let k = 0; k < args.concurrency; ++k)
        workers.push({
            first: new Engine(path.resolve(args.engine), args.options.concat(args.options1), 'first'),
            second: new Engine(path.resolve(args.engine2 || args.engine), args.options.concat(args.options2), 'second'),
        });
    const engines = [].concat(...workers.map((w) => [w.first, w.second]));
    const killAll = () => {
        for (const e of engines) if (e.process && !e.exited) e.process.kill('SIGKILL');
    };
    try {
        await Promise.all(engines.map((e) => e.start()));
    } catch (e) {
        killAll();
        throw e;
    }
    fs.writeFileSync(args.pgn, '');

    const totals = { games: 0, firstWins: 0, draws: 0, firstLosses: 0, timeLosses: 0, illegalMoves: 0, crashes: 0,
                     reasons: {}, unexpected: 0, plies: 0, ponderHits: 0, ponderMisses: 0, leastLeft: Infinity, pairs: [0, 0, 0, 0, 0] };
    const problems = [];
    const state = { nextUnit: 0, stopping: false, verdict: null };
    // Interrupted, the runner still reports the games it finished.
    for (const signal of ['SIGINT', 'SIGTERM'])
        process.on(signal, () => {
            console.log(`\ninterrupted by ${signal} after ${totals.games} games`);
            printSummary(args, totals, problems, engines, sprt);
            killAll();
            process.exit(signal === 'SIGINT' ? 130 : 143);
        });

    // A unit of work is one pair of games on one opening, or one game in self-play.
    const unitGames = (unit) => {
        const games = paired ? [2 * unit, 2 * unit + 1] : [unit];
        return games.filter((g) => g < args.games);
    };

    const recordGame = (record, g, firstIsWhite) => {
        fs.appendFileSync(args.pgn, record.pgn);
        totals.games += 1;
        totals.plies += record.moves;
        totals.ponderHits += record.ponderHits;
        totals.ponderMisses += record.ponderMisses;
        if (record.leastLeft !== undefined) totals.leastLeft = Math.min(totals.leastLeft, record.leastLeft);
        const reason = record.reason.startsWith('illegal') ? 'illegal move' : record.reason;
        totals.reasons[reason] = (totals.reasons[reason] || 0) + 1;
        const firstScore = record.result === '1/2-1/2' ? 0.5 : (record.result === '1-0') === firstIsWhite ? 1 : 0;
        if (firstScore === 1) totals.firstWins += 1;
        else if (firstScore === 0) totals.firstLosses += 1;
        else totals.draws += 1;
        if (record.timeLoss) totals.timeLosses += 1;
        if (record.illegal) totals.illegalMoves += 1;
        if (record.crash) totals.crashes += 1;
        const detail = [record.illegalMove, record.crash, record.timeDetail].filter(Boolean).map((d) => ` (${d})`).join('');
        if (record.timeLoss || record.illegal || record.crash) problems.push(`game ${g + 1}: ${record.reason}${detail}`);
        if (!args.quiet)
            console.log(`game ${g + 1}${Number.isFinite(args.games) ? '/' + args.games : ''}: ${record.white} - ` +
                        `${record.black} ${record.result} (${record.reason}, ${record.moves} plies)${detail}`);
        return firstScore;
    };

    const runWorker = async (worker) => {
        try {
            await playUnits(worker);
        } catch (e) {
            // An engine ended on purpose, because the test was decided, may fail to restart.
            if (!state.stopping) throw e;
        }
    };
    const playUnits = async (worker) => {
        while (!state.stopping) {
            const unit = state.nextUnit;
            const games = unitGames(unit);
            if (!games.length) return;
            state.nextUnit += 1;
            const chosen = args.openingList[order[unit % order.length]];
            const opening = withRandomPlies(chosen, args.randomPlies, unit);
            const scores = [];
            const held = [];
            for (const g of games) {
                const firstIsWhite = g % 2 === 0;
                const white = firstIsWhite ? worker.first : worker.second;
                const black = firstIsWhite ? worker.second : worker.first;
                const record = await playGame(white, black, opening, tc, args, g + 1);
                // A game still running when the test was decided does not count.
                if (state.stopping) return;
                // In a test, games count by whole pairs: a pair cut short by the decision leaves no trace.
                if (sprt) held.push([record, g, firstIsWhite]);
                else scores.push(recordGame(record, g, firstIsWhite));
                // A dead engine is started afresh so that one crash does not decide every later game.
                for (const e of [worker.first, worker.second])
                    if (e.exited) {
                        await e.stop();
                        await e.start();
                    }
            }
            if (state.stopping) return;
            for (const game of held) scores.push(recordGame(...game));
            if (scores.length < 2) continue;
            totals.pairs[Math.round((scores[0] + scores[1]) * 2)] += 1;
            if (!sprt) continue;
            sprt.addPair(scores[0], scores[1]);
            state.verdict = sprt.verdict();
            const pairs = sprt.counts.reduce((a, b) => a + b, 0);
            if (state.verdict || pairs % args.report === 0) {
                console.log('');
                for (const line of describe(sprt, sprt.counts)) console.log(line);
                console.log('');
            }
            if (state.verdict) {
                state.stopping = true;
                // The other workers' games are cut short: their engines are ended and restarted by no one.
                for (const other of workers)
                    if (other !== worker)
                        for (const e of [other.first, other.second]) if (e.process && !e.exited) e.process.kill('SIGKILL');
            }
        }
    };
    try {
        await Promise.all(workers.map(runWorker));
    } catch (e) {
        killAll();
        throw e;
    }
    process.removeAllListeners('SIGINT');
    process.removeAllListeners('SIGTERM');
    await Promise.all(engines.map((e) => e.stop()));
    printSummary(args, totals, problems, engines, sprt);
    if (sprt) {
        console.log(state.verdict === 'H1' ? 'H1 accepted' : state.verdict === 'H0' ? 'H0 accepted' :
                    'unfinished: the game cap came before a decision');
        process.exit(state.verdict === 'H1' ? 0 : state.verdict === 'H0' ? 3 : 4);
    }
    process.exit(totals.timeLosses || totals.illegalMoves || totals.crashes ? 1 : 0);
}

function printSummary(args, totals, problems, engines, sprt) {
    const tc = args.timeControl;
    const unexpectedLines = [].concat(...engines.map((e) => e.unexpected));
    console.log(`\nSummary (${args.engine}${args.engine2 ? ' vs ' + args.engine2 : ', self-play'}, tc ${tc.text})`);
    console.log(`games ${totals.games}  average length ${(totals.plies / Math.max(totals.games, 1)).toFixed(1)} plies`);
    console.log(`first engine: wins ${totals.firstWins}  draws ${totals.draws}  losses ${totals.firstLosses}`);
    console.log(`time losses ${totals.timeLosses}  illegal moves ${totals.illegalMoves}  crashes ${totals.crashes}`);
    console.log(`least time left after a move ${Math.round(totals.leastLeft)} ms`);
    if (args.ponder) console.log(`ponder: ${totals.ponderHits} ponderhits, ${totals.ponderMisses} stopped on a wrong guess`);
    console.log(`endings: ${Object.entries(totals.reasons).map(([k, v]) => `${k} ${v}`).join(', ')}`);
    console.log(`unexpected output lines ${unexpectedLines.length}`);
    for (const l of unexpectedLines.slice(0, 10)) console.log(`  ${l}`);
    for (const p of problems) console.log(`  ${p}`);
    if (totals.pairs.some((c) => c > 0) || sprt)
        for (const line of describe(sprt, sprt ? sprt.counts : totals.pairs)) console.log(line);
}

if (require.main === module)
    main().catch((e) => {
        console.error(`match: ${e.message}`);
        process.exit(2);
    });

module.exports = { parseArguments, openingOrder, Engine, playCoordinateMove };
