#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the example exam file: a made-up mathematics test of 40 items with
# 4 choices, answered by 48 pupils. The answers come from a fixed seed, so
# the same file comes out every time.
#
#   tools/make-sample.sh [OUT.ans [ITEMANALYSIS-CLI]]
#
# Defaults: examples/sample.ans, build/bin/itemanalysis-cli. Needs sqlite3.
#
# Pupils have an ability, items a difficulty; the chance of a right answer
# follows the logistic curve, with a fifth of a chance to guess right. Wrong answers favour some distractors over
# others, so that the analysis has something to say. A few items are made
# to show what the judgements and flags look for:
#   item 7   keyed 2, but the pupils who know the subject choose 4 (a wrong key)
#   item 15  the weaker pupils get it right more often (negative discrimination)
#   item 23  almost everybody gets it right (too easy)
#   item 31  very hard, close to guessing
#   item 36  one distractor nobody chooses (non-functional)
# and a few answers are left out (0).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/examples/sample.ans}
cli=${2:-$here/build/bin/itemanalysis-cli}

rm -f "$out"
"$cli" create "$out" --items 40 --choices 4 --subject-code ค21101 \
    --subject คณิตศาสตร์ --term 1 --year 2567 --teacher "ครูสมศรี ใจดี" >/dev/null

# Park–Miller generator: every product stays below 2^53, so any awk (mawk,
# gawk, busybox) computes the same numbers with doubles.
awk -v seed=20261210 '
function rnd() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
function normal(   u, v) { u = rnd(); v = rnd(); return sqrt(-2 * log(u + 1e-12)) * cos(6.283185307179586 * v) }
BEGIN {
    n = 40; sheets = 48
    for (i = 1; i <= n; i++) {
        key[i] = 1 + int(rnd() * 4)
        b[i] = -1.2 + 2.4 * rnd()
    }
    key[7] = 2;  b[7] = 0.3; truth7 = 4
    b[15] = 0.2
    b[23] = -3.5
    b[31] = 2.8
    key[36] = 1
    print "BEGIN;"
    set = ""
    for (i = 1; i <= n; i++) set = set (i > 1 ? ", " : "") "X" i " = '\''" key[i] "'\''"
    print "UPDATE TKey SET " set ";"
    cols = "Code"
    for (i = 1; i <= n; i++) cols = cols ", X" i
    for (s = 1; s <= sheets; s++) {
        theta = normal()
        row = "'\''" s "'\''"
        for (i = 1; i <= n; i++) {
            right = (i == 7) ? truth7 : key[i]
            t = (i == 15) ? -theta : theta
            pr = 0.2 + 0.8 / (1 + exp(-1.2 * (t - b[i])))
            if (rnd() < pr) {
                a = right
            } else {
                # Distractors in order of attraction: 60 %, 30 %, 10 %.
                u = rnd(); k = 0
                pick = (u < 0.6) ? 1 : (u < 0.9) ? 2 : 3
                if (i == 36 && pick == 3) pick = 1
                for (c = 1; c <= 4; c++) {
                    if (c == right) continue
                    if (++k == pick) a = c
                }
                # On item 7 the key itself is the common wrong answer.
                if (i == 7 && pick == 1) a = key[7]
            }
            if (rnd() < 0.01) a = 0
            row = row ", '\''" a "'\''"
        }
        print "INSERT INTO TAData (" cols ") VALUES (" row ");"
    }
    print "COMMIT;"
}' | sqlite3 "$out"
echo "$out"
