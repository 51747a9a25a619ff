"""Compares the district list key with Python's MD5 of the passphrase's GBK bytes."""
import hashlib
import subprocess
import sys

passphrase = "key:\u201c\u6625\u98ce\u53c8\u7eff\u6c5f\u5357\u3002\u201d".encode("gbk")
if len(passphrase) != 22:
    sys.exit("passphrase is %d bytes in GBK, expected 22" % len(passphrase))
expected = hashlib.md5(passphrase).hexdigest()
actual = subprocess.run([sys.argv[1]], capture_output=True, text=True, check=True).stdout.strip()
if actual != expected:
    sys.exit("key %s, python computes %s" % (actual, expected))
print("key", actual, "matches")
