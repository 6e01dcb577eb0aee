# Sorts n pseudo-random numbers; prints the smallest and the sum of each number times its
# position from 1, modulo 1000000007.
import sys

x, numbers = 42, []
for _ in range(int(sys.argv[1])):
    x = (x * 1103515245 + 12345) % 2147483648
    numbers.append(x)
numbers.sort()
print(numbers[0])
print(sum(i * v for i, v in enumerate(numbers, 1)) % 1000000007)
