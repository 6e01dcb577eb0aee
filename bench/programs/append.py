# A string grown by appending one character at a time, then its length.
# CPython may extend the string in place when nothing else refers to it.
import sys


def grow(n, s):
    while n >= 2:
        s = s + "A"
        n -= 1
    return s


print(len(grow(int(sys.argv[1]), "A")))
