# nfib of the first argument: the number of calls it makes.
import sys


def nfib(n):
    return 1 if n < 2 else nfib(n - 1) + nfib(n - 2) + 1


print(nfib(int(sys.argv[1])))
