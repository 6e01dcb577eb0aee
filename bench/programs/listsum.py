# The list 1..n built with a two-continuation cons, summed with a strict accumulator.
# Both walks are loops: Python's stack would not hold a million nested calls.
import sys


def cons(h, t):
    return lambda n, c: c(h, t)


def nil(n, c):
    return n


def down(i, l):
    while i >= 1:
        l = cons(i, l)
        i -= 1
    return l


def total(l, s):
    while True:
        step = l(None, lambda h, t: (h, t))
        if step is None:
            return s
        h, l = step
        s += h


print(total(down(int(sys.argv[1]), nil), 0))
