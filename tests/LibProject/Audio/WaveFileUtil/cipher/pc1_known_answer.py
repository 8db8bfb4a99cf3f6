#!/usr/bin/env python3
"""An account of the PC1 cipher (128-bit key variant) of protected wave files, written from its
published description and independent of the C++ reader: enciphers the bytes 0, 1, ..., 31 with
a pass phrase and prints the ciphertext, the known answer the C++ test checks.

Usage: pc1_known_answer.py [PASS PHRASE]   (default QZK40731)
"""
import sys

TABLE = bytes.fromhex("718e24db5fa0c639e21d936c08f7b54a")


class Pc1:
    def __init__(self, phrase: bytes):
        f = 0
        for b in phrase:
            f ^= b
        self.key = [t ^ f for t in TABLE]
        self.carry = 0  # carryWord
        self.sum = 0  # roundSum
        self.words = [0] * 8  # roundWords

    def code(self, i):
        a = self.words[i]
        d = (self.sum + i) & 0xFFFF
        s = self.carry
        self.carry = (a * 346) & 0xFFFF
        c = ((d * 20021 if d != 0 else 0) + a * 346) & 0xFFFF
        self.sum = (c + s) & 0xFFFF
        self.words[i] = (a * 20021 + 1) & 0xFFFF
        return self.words[i] ^ ((s + c) & 0xFFFF)

    def key_word(self, i):
        high, low = self.key[2 * i], self.key[2 * i + 1]
        low = low - 256 if low >= 128 else low  # the second byte counts as signed
        return (high * 256 + low) & 0xFFFF

    def assemble(self):
        self.words[0] = self.key_word(0)
        r = self.code(0)
        for i in range(1, 8):
            self.words[i] = self.key_word(i) ^ self.words[i - 1]
            r ^= self.code(i)
        return r

    def encipher(self, plain):
        r = self.assemble()
        self.key = [k ^ plain for k in self.key]
        return plain ^ (r >> 8) ^ (r & 0xFF)


def main():
    phrase = (sys.argv[1] if len(sys.argv) > 1 else "QZK40731").encode("latin-1")
    cipher = Pc1(phrase)
    print(", ".join("0x%02x" % cipher.encipher(b) for b in range(32)))


if __name__ == "__main__":
    main()
