'use strict';
// Sequential probability ratio test over game pairs. Each opening is played twice with the
// colours swapped, and the pair, not the game, is the sample: its score is 0, 1/4, 1/2, 3/4
// or 1 (LL, LD, DD or WL, WD, WW from the first engine's side). Counting pairs this way
// (the pentanomial model) takes out most of the noise an unbalanced opening adds.
//
// The hypotheses are logistic Elo differences: elo0 means an expected score of
// 1 / (1 + 10^(-elo0 / 400)), per game and so also per pair. The log-likelihood ratio is the
// generalized one: for each hypothesis the pair-score distribution of greatest likelihood
// whose mean is that hypothesis's score is fitted to the counts, and the LLR is the
// log-ratio of the two fits' likelihoods.

const PAIR_SCORES = [0, 0.25, 0.5, 0.75, 1];
const PAIR_NAMES = ['LL', 'LD', 'DD/WL', 'WD', 'WW'];
// Weight given to an outcome not seen yet, so that the fit exists from the first pair on
// (a sample of nothing but wins has no distribution with a mean of one half otherwise).
const EMPTY_CELL = 1e-3;
const Z95 = 1.959963984540054;

function scoreOfElo(elo) {
    return 1 / (1 + Math.pow(10, -elo / 400));
}

function eloOfScore(score) {
    if (score <= 0) return -Infinity;
    if (score >= 1) return Infinity;
    return -400 * Math.log10(1 / score - 1);
}

// LLR bounds of Wald's test: below `lower` H0 is accepted, above `upper` H1.
function llrBounds(alpha, beta) {
    return { lower: Math.log(beta / (1 - alpha)), upper: Math.log((1 - beta) / alpha) };
}

// The distribution of greatest likelihood for the sample p with mean s:
// q_i = p_i / (1 + lambda (a_i - s)), with lambda the root of sum p_i (a_i - s) / (1 + lambda (a_i - s)).
// That sum falls strictly as lambda rises, from +inf to -inf over the lambdas that keep every
// denominator positive, so bisection finds the one root. Needs 0 < s < 1.
function fitMean(p, s) {
    const d = PAIR_SCORES.map((a) => a - s);
    const f = (lambda) => p.reduce((sum, pi, i) => sum + (pi * d[i]) / (1 + lambda * d[i]), 0);
    let low = -1 / Math.max(...d), high = -1 / Math.min(...d);
    for (;;) {
        const middle = (low + high) / 2;
        if (middle <= low || middle >= high) break;
        if (f(middle) > 0) low = middle;
        else high = middle;
    }
    const lambda = (low + high) / 2;
    return p.map((pi, i) => pi / (1 + lambda * d[i]));
}

function pairCount(counts) {
    return counts.reduce((a, b) => a + b, 0);
}

// counts: [LL, LD, DD+WL, WD, WW].
function llr(counts, elo0, elo1) {
    const n = pairCount(counts);
    if (n === 0) return 0;
    const weights = counts.map((c) => Math.max(c, EMPTY_CELL));
    const total = pairCount(weights);
    const p = weights.map((w) => w / total);
    const q0 = fitMean(p, scoreOfElo(elo0));
    const q1 = fitMean(p, scoreOfElo(elo1));
    return n * p.reduce((sum, pi, i) => sum + pi * Math.log(q1[i] / q0[i]), 0);
}

// Mean pair score (= mean game score), its 95 % interval from the spread of the pair scores,
// and the same three as logistic Elo.
function estimate(counts) {
    const n = pairCount(counts);
    if (n === 0) return null;
    const mean = counts.reduce((sum, c, i) => sum + c * PAIR_SCORES[i], 0) / n;
    const variance = counts.reduce((sum, c, i) => sum + c * (PAIR_SCORES[i] - mean) ** 2, 0) / n;
    const margin = Z95 * Math.sqrt(variance / n);
    return {
        score: mean, low: mean - margin, high: mean + margin,
        elo: eloOfScore(mean), eloLow: eloOfScore(mean - margin), eloHigh: eloOfScore(mean + margin),
    };
}

// Index into the counts of a pair whose two games scored `a` and `b` (1, 0.5 or 0 each).
function pairIndex(a, b) {
    return Math.round((a + b) * 2);
}

class Sprt {
    constructor(elo0, elo1, alpha, beta) {
        Object.assign(this, { elo0, elo1, alpha, beta });
        this.bounds = llrBounds(alpha, beta);
        this.counts = [0, 0, 0, 0, 0];
    }

    addPair(a, b) {
        this.counts[pairIndex(a, b)] += 1;
    }

    llr() {
        return llr(this.counts, this.elo0, this.elo1);
    }

    // 'H0', 'H1' or null while the LLR is between the bounds.
    verdict() {
        const value = this.llr();
        if (value >= this.bounds.upper) return 'H1';
        if (value <= this.bounds.lower) return 'H0';
        return null;
    }
}

function formatLlr(value) {
    return Math.abs(value) < 0.005 ? '0.00' : value.toFixed(2);
}

function formatElo(elo) {
    return Number.isFinite(elo) ? elo.toFixed(1) : elo > 0 ? '+inf' : '-inf';
}

// The status lines printed while the test runs and at its end.
function describe(sprt, counts) {
    const lines = [];
    if (sprt)
        lines.push(`SPRT [${sprt.elo0}, ${sprt.elo1}] (logistic Elo, alpha ${sprt.alpha}, beta ${sprt.beta}): ` +
                   `LLR ${formatLlr(sprt.llr())} (${sprt.bounds.lower.toFixed(2)}, ${sprt.bounds.upper.toFixed(2)})`);
    const e = estimate(counts);
    const n = pairCount(counts);
    if (e) {
        const points = Math.round(e.score * 4 * n) / 2;
        lines.push(`pairs ${n}, score ${points}/${2 * n} (${(100 * e.score).toFixed(1)} %), ` +
                   `Elo ${formatElo(e.elo)} (95 %: ${formatElo(e.eloLow)} to ${formatElo(e.eloHigh)})`);
    } else {
        lines.push('pairs 0');
    }
    lines.push(PAIR_NAMES.map((name, i) => `${name} ${counts[i]}`).join('  '));
    return lines;
}

module.exports = { PAIR_NAMES, scoreOfElo, eloOfScore, llrBounds, llr, estimate, pairIndex, Sprt, describe };
