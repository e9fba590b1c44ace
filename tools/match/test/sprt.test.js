'use strict';
// The test's arithmetic against values worked by hand (working in the comments).
const test = require('node:test');
const assert = require('node:assert');
const { scoreOfElo, eloOfScore, llrBounds, llr, estimate, pairIndex } = require('../sprt');

const near = (actual, expected, tolerance, what) =>
    assert.ok(Math.abs(actual - expected) <= tolerance, `${what}: ${actual}, expected ${expected}`);

test('bounds are ln(beta / (1 - alpha)) and ln((1 - beta) / alpha)', () => {
    // 0.05, 0.05: ln(0.05 / 0.95) = -ln 19 = -2.944439, ln(0.95 / 0.05) = ln 19.
    // 0.10, 0.05: ln(0.05 / 0.90) = -ln 18 = -2.890372, ln(0.95 / 0.10) = ln 9.5 = 2.251292.
    for (const [alpha, beta, lower, upper] of [[0.05, 0.05, -2.944439, 2.944439], [0.1, 0.05, -2.890372, 2.251292]]) {
        const b = llrBounds(alpha, beta);
        near(b.lower, lower, 1e-6, `lower bound for ${alpha}, ${beta}`);
        near(b.upper, upper, 1e-6, `upper bound for ${alpha}, ${beta}`);
    }
});

test('logistic Elo and expected score convert both ways', () => {
    // s = 1 / (1 + 10^(-elo / 400)): 10^-0.025 = 0.944061, so s(10) = 1 / 1.944061 = 0.514387;
    // 10^-0.25 = 0.562341, so s(100) = 0.640065 and s(-100) = 1 - s(100) = 0.359935.
    // elo(0.75) = -400 log10(1 / 0.75 - 1) = 400 log10 3 = 190.8485.
    for (const [elo, score] of [[0, 0.5], [10, 0.514387], [100, 0.640065], [-100, 0.359935], [190.8485, 0.75]]) {
        near(scoreOfElo(elo), score, 1e-6, `score of ${elo} Elo`);
        near(eloOfScore(score), elo, 1e-3, `Elo of score ${score}`);
    }
    assert.strictEqual(eloOfScore(1), Infinity);
    assert.strictEqual(eloOfScore(0), -Infinity);
});

test('a pair counts by its total score', () => {
    // [LL, LD, DD or WL, WD, WW]
    for (const [a, b, index] of [[0, 0, 0], [0, 0.5, 1], [0.5, 0, 1], [0.5, 0.5, 2], [1, 0, 2], [0, 1, 2], [1, 0.5, 3], [1, 1, 4]])
        assert.strictEqual(pairIndex(a, b), index, `${a} + ${b}`);
});

test('LLR with only LL and WW pairs is the binomial one', () => {
    // Seen only LL (score 0) and WW (score 1), the fit with mean s gives LL 1 - s and WW s, so
    // LLR = nLL ln((1 - s1) / (1 - s0)) + nWW ln(s1 / s0). For [0, 10]: s0 = 0.5, s1 = 0.514387,
    // ln(0.485613 / 0.5) = -0.0291965, ln(0.514387 / 0.5) = 0.0283682;
    // 10 LL and 20 WW: -0.291965 + 0.567363 = 0.275398.
    // For [-100, 100]: ln(0.640065 / 0.359935) = 0.575646 a WW pair, -0.575646 an LL pair: the
    // bound 2.944439 is crossed by the sixth WW pair (5 x 0.575646 = 2.878 < 2.944 < 3.454).
    // Unseen outcomes weigh a thousandth of a pair, hence the tolerance (that weight moves the
    // five-pair value by about 0.001).
    for (const [counts, elo0, elo1, expected] of [
        [[10, 0, 0, 0, 20], 0, 10, 0.275398],
        [[0, 0, 0, 0, 5], -100, 100, 2.878231],
        [[0, 0, 0, 0, 6], -100, 100, 3.453878],
        [[6, 0, 0, 0, 0], -100, 100, -3.453878],
    ])
        near(llr(counts, elo0, elo1), expected, 3e-3, `LLR of ${counts} for [${elo0}, ${elo1}]`);
    assert.strictEqual(llr([0, 0, 0, 0, 0], 0, 10), 0);
});

test('LLR of mirrored samples and bounds is mirrored', () => {
    // Mirroring every pair score (a -> 1 - a) and the bounds (elo -> -elo) swaps the two fits,
    // so the LLR changes sign; a sample that is its own mirror under [-e, e] has LLR 0.
    for (const counts of [[0, 10, 20, 10, 0], [3, 11, 29, 17, 6], [1, 0, 0, 7, 2]]) {
        const mirrored = counts.slice().reverse();
        near(llr(counts, -10, 10), -llr(mirrored, -10, 10), 1e-9, `mirror of ${counts}`);
    }
    near(llr([4, 10, 20, 10, 4], -10, 10), 0, 1e-9, 'symmetric sample');
    // More wins than losses favour the higher hypothesis, and the reverse.
    assert.ok(llr([3, 11, 29, 17, 6], 0, 10) > 0);
    assert.ok(llr([6, 17, 29, 11, 3], 0, 10) < 0);
});

test('Elo estimate and its 95 % interval come from the spread of pair scores', () => {
    // 100 pairs: LL 2, LD 18, DD/WL 40, WD 30, WW 10.
    // mean = (0.25 x 18 + 0.5 x 40 + 0.75 x 30 + 1 x 10) / 100 = 57 / 100 = 0.57
    // variance = 0.02 x 0.57^2 + 0.18 x 0.32^2 + 0.40 x 0.07^2 + 0.30 x 0.18^2 + 0.10 x 0.43^2
    //          = 0.006498 + 0.018432 + 0.001960 + 0.009720 + 0.018490 = 0.0551
    // margin = 1.959964 x sqrt(0.0551 / 100) = 1.959964 x 0.0234734 = 0.0460070
    // Elo = -400 log10(1 / 0.57 - 1) = 48.963; from 0.523993: 16.685; from 0.616007: 82.105.
    const e = estimate([2, 18, 40, 30, 10]);
    near(e.score, 0.57, 1e-12, 'score');
    near(e.low, 0.523993, 1e-6, 'low score');
    near(e.high, 0.616007, 1e-6, 'high score');
    near(e.elo, 48.963, 1e-3, 'Elo');
    near(e.eloLow, 16.685, 1e-3, 'low Elo');
    near(e.eloHigh, 82.105, 1e-3, 'high Elo');
    // All pairs alike: no spread, the interval shrinks to the point.
    const same = estimate([0, 0, 7, 0, 0]);
    for (const value of [same.elo, same.eloLow, same.eloHigh]) near(value, 0, 1e-12, 'Elo of all draws');
    assert.strictEqual(estimate([0, 0, 0, 0, 0]), null);
});
