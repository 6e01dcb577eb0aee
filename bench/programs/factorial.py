# n factorial exactly: its number of digits, then its remainder by 1000000007.
import sys

sys.set_int_max_str_digits(0)


def fact(n, p):
    while n >= 2:
        p *= n
        n -= 1
    return p


p = fact(int(sys.argv[1]), 1)
print(len(str(p)))
print(p % 1000000007)
