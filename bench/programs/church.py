# The Church numeral two raised to the power n, converted to an integer.
import sys


def succ(n):
    return lambda f: lambda x: f(n(f)(x))


def church(n):
    c = lambda f: lambda x: x
    for _ in range(n):
        c = succ(c)
    return c


print(church(int(sys.argv[1]))(church(2))(lambda n: n + 1)(0))
