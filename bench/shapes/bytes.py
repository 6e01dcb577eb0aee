# Fills a buffer of n bytes, changes every byte in place, then prints the sum of the bytes.
import sys

n = int(sys.argv[1])
b = bytearray(n)
for i in range(n):
    b[i] = (i * 31 + 7) % 256
for i in range(n):
    b[i] = (b[i] * 3 + 1) % 256
print(sum(b))
