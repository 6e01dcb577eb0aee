# The numerals 1 to n, each followed by a space, joined one piece at a time;
# prints the length of the text and its last 16 bytes.
import sys

s = ""
for i in range(1, int(sys.argv[1]) + 1):
    s += str(i) + " "
print(len(s))
print(s[-16:])
