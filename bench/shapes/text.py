# The numerals 1 to n, each followed by a space, gathered one piece at a time and joined;
# prints the length of the text and its last 16 bytes.
import sys

pieces = []
for i in range(1, int(sys.argv[1]) + 1):
    pieces.append(str(i) + " ")
s = "".join(pieces)
print(len(s))
print(s[-16:])
