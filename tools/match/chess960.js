// A small rules library for Chess960 (and standard chess, its array 518), written apart
// from the engines so that it can check their moves: chess.js knows castling only from
// the standard array. It offers the part of the chess.js interface that match.js uses.
// Castling is written the way UCI interfaces write it in Chess960: the king takes its own
// rook (e1h1, b1a1). Squares are 0..63, a1 = 0, h8 = 63.
'use strict';

const FILES = 'abcdefgh';
const KNIGHT = [[1, 2], [2, 1], [2, -1], [1, -2], [-1, -2], [-2, -1], [-2, 1], [-1, 2]];
const KING = [[1, 0], [1, 1], [0, 1], [-1, 1], [-1, 0], [-1, -1], [0, -1], [1, -1]];
const DIAGONAL = [[1, 1], [1, -1], [-1, 1], [-1, -1]];
const STRAIGHT = [[1, 0], [-1, 0], [0, 1], [0, -1]];

const fileOf = (s) => s & 7;
const rankOf = (s) => s >> 3;
const name = (s) => FILES[fileOf(s)] + (rankOf(s) + 1);
const parseSquare = (t) => (/^[a-h][1-8]$/.test(t) ? FILES.indexOf(t[0]) + 8 * (t.charCodeAt(1) - 49) : -1);
const other = (c) => (c === 'w' ? 'b' : 'w');
const step = (s, df, dr) => {
    const f = fileOf(s) + df, r = rankOf(s) + dr;
    return f >= 0 && f < 8 && r >= 0 && r < 8 ? r * 8 + f : -1;
};

class Chess960 {
    constructor(fen) {
        this.load(fen || 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1');
    }

    // Reads a FEN whose castling field is X-FEN (KQkq: the outermost rook on that side of
    // the king) or Shredder-FEN (rook files A-H, a-h). Throws on a malformed FEN.
    load(fen) {
        const fields = fen.trim().split(/\s+/);
        if (fields.length < 4) throw new Error(`Invalid FEN: ${fen}`);
        const rows = fields[0].split('/');
        if (rows.length !== 8) throw new Error(`Invalid FEN: ${fen}`);
        this.squares = new Array(64).fill(null);
        rows.forEach((row, i) => {
            let file = 0;
            for (const ch of row) {
                if (/[1-8]/.test(ch)) file += Number(ch);
                else if (/[pnbrqkPNBRQK]/.test(ch) && file < 8)
                    this.squares[(7 - i) * 8 + file++] = { type: ch.toLowerCase(), color: ch === ch.toUpperCase() ? 'w' : 'b' };
                else throw new Error(`Invalid FEN: ${fen}`);
            }
            if (file !== 8) throw new Error(`Invalid FEN: ${fen}`);
        });
        if (!['w', 'b'].includes(fields[1])) throw new Error(`Invalid FEN: ${fen}`);
        this.side = fields[1];
        for (const c of ['w', 'b'])
            if (this.squares.filter((p) => p && p.type === 'k' && p.color === c).length !== 1)
                throw new Error(`Invalid FEN: ${fen}`);
        // Castling rights: the rook files of each colour.
        this.rights = { w: [], b: [] };
        for (const ch of fields[2] === '-' ? '' : fields[2]) {
            const color = ch === ch.toUpperCase() ? 'w' : 'b';
            const king = this.kingSquare(color), back = color === 'w' ? 0 : 56;
            let file = -1;
            if ('KQkq'.includes(ch)) {
                const kingside = ch.toLowerCase() === 'k';
                for (let f = kingside ? 7 : 0; f !== fileOf(king); f += kingside ? -1 : 1) {
                    const p = this.squares[back + f];
                    if (p && p.type === 'r' && p.color === color) {
                        file = f;
                        break;
                    }
                }
            } else if (/[a-hA-H]/.test(ch)) {
                file = FILES.indexOf(ch.toLowerCase());
            } else {
                throw new Error(`Invalid FEN: ${fen}`);
            }
            const rook = this.squares[back + file];
            if (file >= 0 && rankOf(king) === rankOf(back) && rook && rook.type === 'r' && rook.color === color &&
                !this.rights[color].includes(file))
                this.rights[color].push(file);
        }
        this.ep = fields[3] === '-' ? -1 : parseSquare(fields[3]);
        this.halfmoves = Number(fields[4] || 0);
        this.fullmoves = Number(fields[5] || 1);
        this.past = [];
        this.played = [];
        this.seen = new Map();
        this.count();
    }

    fen() {
        const rows = [];
        for (let r = 7; r >= 0; --r) {
            let row = '', empty = 0;
            for (let f = 0; f < 8; ++f) {
                const p = this.squares[r * 8 + f];
                if (!p) {
                    ++empty;
                    continue;
                }
                if (empty) row += empty;
                empty = 0;
                row += p.color === 'w' ? p.type.toUpperCase() : p.type;
            }
            rows.push(row + (empty ? empty : ''));
        }
        let castling = '';
        for (const c of ['w', 'b'])
            for (const f of [...this.rights[c]].sort((a, b) => b - a))
                castling += c === 'w' ? FILES[f].toUpperCase() : FILES[f];
        return `${rows.join('/')} ${this.side} ${castling || '-'} ${this.ep >= 0 ? name(this.ep) : '-'} ` +
               `${this.halfmoves} ${this.fullmoves}`;
    }

    turn() { return this.side; }

    board() {
        const rows = [];
        for (let r = 7; r >= 0; --r) rows.push(this.squares.slice(r * 8, r * 8 + 8));
        return rows;
    }

    history() { return this.played.slice(); }

    kingSquare(color) {
        return this.squares.findIndex((p) => p && p.type === 'k' && p.color === color);
    }

    attacked(square, by) {
        const at = (s, types) => {
            const p = s >= 0 ? this.squares[s] : null;
            return p && p.color === by && types.includes(p.type);
        };
        const forward = by === 'w' ? -1 : 1;  // attacking pawns stand behind the square
        if (at(step(square, -1, forward), 'p') || at(step(square, 1, forward), 'p')) return true;
        if (KNIGHT.some(([df, dr]) => at(step(square, df, dr), 'n'))) return true;
        if (KING.some(([df, dr]) => at(step(square, df, dr), 'k'))) return true;
        for (const [dirs, types] of [[DIAGONAL, 'bq'], [STRAIGHT, 'rq']])
            for (const [df, dr] of dirs)
                for (let s = step(square, df, dr); s >= 0; s = step(s, df, dr)) {
                    if (!this.squares[s]) continue;
                    if (at(s, types)) return true;
                    break;
                }
        return false;
    }

    inCheck() { return this.attacked(this.kingSquare(this.side), other(this.side)); }

    // Every legal move as {from, to, promotion, castle}; castling has `to` on the rook.
    moves() {
        const legal = [];
        for (const m of this.pseudoMoves()) {
            this.make(m);
            if (!this.attacked(this.kingSquare(other(this.side)), this.side)) legal.push(m);
            this.unmake();
        }
        return legal;
    }

    pseudoMoves() {
        const list = [], us = this.side, them = other(us);
        const add = (from, to, extra = {}) => list.push({ from: name(from), to: name(to), ...extra });
        for (let s = 0; s < 64; ++s) {
            const p = this.squares[s];
            if (!p || p.color !== us) continue;
            if (p.type === 'p') {
                const dir = us === 'w' ? 1 : -1, last = us === 'w' ? 7 : 0, start = us === 'w' ? 1 : 6;
                const pawnTo = (to) => {
                    if (rankOf(to) === last) for (const promotion of 'qrbn') add(s, to, { promotion });
                    else add(s, to);
                };
                const one = step(s, 0, dir);
                if (one >= 0 && !this.squares[one]) {
                    pawnTo(one);
                    const two = step(s, 0, 2 * dir);
                    if (rankOf(s) === start && !this.squares[two]) add(s, two);
                }
                for (const df of [-1, 1]) {
                    const to = step(s, df, dir);
                    if (to < 0) continue;
                    if (this.squares[to] && this.squares[to].color === them) pawnTo(to);
                    else if (to === this.ep) add(s, to);
                }
            } else if (p.type === 'n' || p.type === 'k') {
                for (const [df, dr] of p.type === 'n' ? KNIGHT : KING) {
                    const to = step(s, df, dr);
                    if (to >= 0 && (!this.squares[to] || this.squares[to].color === them)) add(s, to);
                }
            } else {
                const dirs = p.type === 'b' ? DIAGONAL : p.type === 'r' ? STRAIGHT : DIAGONAL.concat(STRAIGHT);
                for (const [df, dr] of dirs)
                    for (let to = step(s, df, dr); to >= 0; to = step(to, df, dr)) {
                        if (this.squares[to] && this.squares[to].color === us) break;
                        add(s, to);
                        if (this.squares[to]) break;
                    }
            }
        }
        // Castling: king to the g- or c-file, rook to the f- or d-file; every square either
        // crosses is empty but for the two, and no square the king stands on or crosses is
        // attacked. Whether the king is attacked at its destination is left to moves().
        const king = this.kingSquare(us), back = us === 'w' ? 0 : 56;
        for (const rookFile of this.rights[us]) {
            const kingside = rookFile > fileOf(king);
            const kingTo = back + (kingside ? 6 : 2), rookFrom = back + rookFile, rookTo = back + (kingside ? 5 : 3);
            const low = Math.min(king, kingTo, rookFrom, rookTo), high = Math.max(king, kingTo, rookFrom, rookTo);
            let clear = true;
            for (let s = low; s <= high && clear; ++s) clear = !this.squares[s] || s === king || s === rookFrom;
            for (let s = Math.min(king, kingTo); s <= Math.max(king, kingTo) && clear; ++s)
                clear = !this.attacked(s, them);
            if (clear) add(king, rookFrom, { castle: true });
        }
        return list;
    }

    make(m) {
        const from = parseSquare(m.from), to = parseSquare(m.to), us = this.side, piece = this.squares[from];
        this.past.push({ squares: this.squares.slice(), rights: { w: [...this.rights.w], b: [...this.rights.b] },
                         ep: this.ep, halfmoves: this.halfmoves, fullmoves: this.fullmoves, side: this.side });
        const back = us === 'w' ? 0 : 56;
        const captured = this.squares[to];
        this.halfmoves = piece.type === 'p' || (captured && !m.castle) ? 0 : this.halfmoves + 1;
        const newEp = piece.type === 'p' && Math.abs(to - from) === 16 ? (from + to) / 2 : -1;
        if (m.castle) {
            const kingside = to > from;
            this.squares[from] = null;
            this.squares[to] = null;
            this.squares[back + (kingside ? 6 : 2)] = piece;
            this.squares[back + (kingside ? 5 : 3)] = { type: 'r', color: us };
        } else {
            if (piece.type === 'p' && to === this.ep) this.squares[to + (us === 'w' ? -8 : 8)] = null;
            this.squares[to] = m.promotion ? { type: m.promotion, color: us } : piece;
            this.squares[from] = null;
        }
        // Rights go with a king that moves and with a rook that leaves or is taken on its square.
        if (piece.type === 'k') this.rights[us] = [];
        for (const c of ['w', 'b']) {
            const cb = c === 'w' ? 0 : 56;
            this.rights[c] = this.rights[c].filter((f) => {
                const p = this.squares[cb + f];
                return p && p.type === 'r' && p.color === c && cb + f !== from && !(cb + f === to && !m.castle);
            });
        }
        this.ep = newEp;
        if (us === 'b') this.fullmoves += 1;
        this.side = other(us);
    }

    unmake() {
        const s = this.past.pop();
        Object.assign(this, { squares: s.squares, rights: s.rights, ep: s.ep, halfmoves: s.halfmoves,
                              fullmoves: s.fullmoves, side: s.side });
    }

    key() { return this.fen().split(' ').slice(0, 4).join(' '); }

    count(delta = 1) {
        const k = this.key();
        this.seen.set(k, (this.seen.get(k) || 0) + delta);
    }

    // Plays {from, to, promotion}; returns the move, or null when it is not legal here.
    move(wanted) {
        const m = this.moves().find((c) => c.from === wanted.from && c.to === wanted.to &&
                                         (c.promotion || '') === (wanted.promotion || ''));
        if (!m) return null;
        this.make(m);
        this.played.push(m.from + m.to + (m.promotion || ''));
        this.count();
        return m;
    }

    undo() {
        if (!this.played.length) return null;
        this.count(-1);
        this.played.pop();
        this.unmake();
        return true;
    }

    isCheckmate() { return this.inCheck() && this.moves().length === 0; }
    isStalemate() { return !this.inCheck() && this.moves().length === 0; }
    isThreefoldRepetition() { return (this.seen.get(this.key()) || 0) >= 3; }
    isDrawByFiftyMoves() { return this.halfmoves >= 100; }
    isInsufficientMaterial() {
        const rest = this.squares.filter((p) => p && p.type !== 'k');
        if (rest.length === 0) return true;
        return rest.length === 1 && (rest[0].type === 'n' || rest[0].type === 'b');
    }
    isGameOver() {
        return this.isCheckmate() || this.isStalemate() || this.isThreefoldRepetition() ||
               this.isDrawByFiftyMoves() || this.isInsufficientMaterial();
    }
}

// Leaf counts of the legal move tree, for checking this library against published numbers.
function perft(board, depth) {
    if (depth === 0) return 1;
    let nodes = 0;
    for (const m of board.moves()) {
        board.make(m);
        nodes += perft(board, depth - 1);
        board.unmake();
    }
    return nodes;
}

module.exports = { Chess960, perft };
