import sys
print(open(sys.argv[1], 'rb').read()[:10])
